// 回放: a recording seen again in its window, and driven again by 按记录行驶. A drive never
// holds the console: its frames are due by a timer, so the brake and every other control act
// at once, and any of them stops it.
#include "console/form1.h"

#include "car/carcode.h"
#include "common/numbers.h"
#include "console/errorreport.h"
#include "console/windows/replaywindow.h"
#include "replay/replaydrive.h"
#include "serial/commport.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QScopedValueRollback>

#include <cmath>

namespace smartcar {

namespace {
// The one local .csv file a drag carries, or nothing.
QString droppedRecording(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().first();
    const QString path = url.toLocalFile();
    return url.isLocalFile() && path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
        ? path
        : QString();
}
} // namespace

void Form1::cmdReplay_Click()
{
    // Not modal: the brake's button and keys work while the operator looks for the file.
    auto* dialog = new QFileDialog(
        this, QStringLiteral("打开行驶记录"),
        m_documents.isEmpty() ? QString()
                              : QDir(m_documents).filePath(QStringLiteral("smartcar-console")),
        QStringLiteral("行驶记录 (*.csv)"));
    dialog->setObjectName(QStringLiteral("ReplayFileDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString& path) { run([this, path] { openReplay(path); }); });
    dialog->show();
}

void Form1::openReplay(const QString& path)
{
    Recording recording = readRecordingFile(path);
    if (!recording.error.isEmpty()) {
        showMessage(this, QMessageBox::Warning, systemMessageTitle(),
                    QStringLiteral("无法打开行驶记录。"),
                    QDir::toNativeSeparators(path) + QLatin1Char('\n') + recording.error);
        return;
    }
    if (m_replayWindow)
        m_replayWindow->close(); // one at a time; a drive it was showing stops
    auto* window = new ReplayWindow(std::move(recording), path, this);
    m_replayWindow = window;
    window->setPortOpen(MSComm1->portOpen());
    window->setAlarmSpeed(readLeadingDecimal(MaxSpeed->text()));
    connect(MaxSpeed, &QLineEdit::textChanged, window,
            [window](const QString& text) { window->setAlarmSpeed(readLeadingDecimal(text)); });
    connect(window, &ReplayWindow::driveRequested, this,
            [this](qint64 from) { run([this, from] { replayDriveRequested(from); }); });
    connect(window, &ReplayWindow::stopRequested, this,
            [this] { run([this] { stopReplayDrive(QStringLiteral("已按“停止”")); }); });
    connect(window, &ReplayWindow::closing, this,
            [this] { run([this] { stopReplayDrive(QStringLiteral("回放窗口已关闭")); }); });
    window->show();
}

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedRecording(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QString path = droppedRecording(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    run([this, path] { openReplay(path); });
}

void Form1::replayDriveRequested(qint64 fromMs)
{
    if (!m_replayWindow || m_replayDrive->isRunning())
        return;
    const Recording& recording = m_replayWindow->recording();
    if (!recording.firstProblem.isEmpty()) {
        showMessage(this, QMessageBox::Warning, systemMessageTitle(),
                    QStringLiteral("记录中有无法读取的行，不能按记录行驶。"),
                    recording.firstProblem);
        return;
    }
    if (!MSComm1->portOpen())
        throw Failure::portNotOpen();
    const qint64 seconds = qint64(
        std::ceil(double(qMax<qint64>(recording.durationMs - fromMs, 0)) / 1000.0));
    askToConfirm(
        this, systemMessageTitle(),
        QStringLiteral("小车将按记录自动行驶（%1 秒）。按 Esc 或冷制动随时停车。").arg(seconds),
        QStringLiteral("开始行驶"), QStringLiteral("取消"),
        [this, self = QPointer<Form1>(this), fromMs](bool yes) {
            if (yes && self)
                run([this, fromMs] { startReplayDrive(fromMs); });
        });
}

void Form1::startReplayDrive(qint64 fromMs)
{
    // The port may have gone, or the window closed, while the question was up.
    if (!m_replayWindow || !MSComm1->portOpen() || m_replayDrive->isRunning())
        return;
    setStatus(QStringLiteral("正在按记录行驶…"));
    m_replayWindow->driveStarted(fromMs);
    // Each frame goes out as recorded, in one write, like a byte typed in 串口命令栏.
    m_replayDrive->start(ReplayDrive::framesOf(m_replayWindow->recording()), fromMs,
                         [this](const QByteArray& frame, QString* why) {
                             try {
                                 const QScopedValueRollback marked(m_sendingReplayed, true);
                                 SendBuf = frame;
                                 MSComm1->output(SendBuf);
                                 return true;
                             } catch (const Failure& failure) {
                                 *why = failure.describe();
                                 return false;
                             }
                         });
}

void Form1::stopReplayDrive(const QString& why, bool braked)
{
    if (m_replayDrive->isRunning())
        endReplayDrive(why, braked);
}

void Form1::endReplayDrive(const QString& why, bool braked)
{
    const ReplayDrive::Stop stop = m_replayDrive->stop();
    setStatus(QStringLiteral("按记录行驶已停止：") + why);
    if (m_replayWindow)
        m_replayWindow->driveEnded();
    if (!MSComm1->portOpen())
        return; // nothing reaches the car any more
    if (stop.centring)
        sendCode(*stop.centring);
    if (!braked)
        sendCode(CarCode::ColdBrake);
}

} // namespace smartcar
