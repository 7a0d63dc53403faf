// The instrument in 功能预留区: the speed trend, the traffic on the line and its recording.
#include "console/form1.h"

#include "common/numbers.h"
#include "console/errorreport.h"
#include "console/spoken.h"
#include "console/widgets/colours.h"
#include "console/widgets/shape.h"
#include "console/widgets/speedtrend.h"
#include "console/widgets/twips.h"
#include "console/widgets/widgets.h"
#include "console/windows/replaywindow.h"
#include "console/windows/trafficwindow.h"
#include "instrument/instrumentpanel.h"
#include "monitor/poll.h"
#include "replay/replaydrive.h"
#include "serial/commport.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace smartcar {

namespace {
// The operator's documents folder; none without a home folder, where Qt would name /Documents
// at the top of the disk.
QString documentsFolder()
{
#ifdef Q_OS_UNIX
    if (qEnvironmentVariable("HOME").isEmpty())
        return {};
#endif
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
} // namespace

void Form1::buildInstrument(const RecordingDisk& disk)
{
    m_instrument = named(new InstrumentPanel(disk, this), "InstrumentPanel");
    m_documents = documentsFolder();
    auto* Frame11 = findChild<QGroupBox*>(QStringLiteral("Frame11"));
    const QFont song9 = face(QStringLiteral("宋体"), 9);

    Trend = named(new SpeedTrend(Frame11), "Trend");
    placeTwips(Trend, {120, 300, 4695, 2520});
    // The plot's clock runs while readings can come: monitoring on and the port open.
    Trend->setRunning([this] { return Timer1->isActive() && MSComm1->portOpen(); });
    const auto alarmSpeed = [trend = Trend](const QString& text) {
        trend->setAlarmSpeed(readLeadingDecimal(text));
    };
    alarmSpeed(MaxSpeed->text());
    connect(MaxSpeed, &QLineEdit::textChanged, Trend, alarmSpeed);
    connect(MaxSpeed, &QLineEdit::textChanged, this, &Form1::describeTrend);

    auto* cmdTraffic = button(Frame11, "cmdTraffic", QStringLiteral("通信记录"),
                              {120, 2925, 1575, 450}, song9);
    cmdTraffic->setToolTip(QStringLiteral("列出发送和接收的每一帧"));
    connect(cmdTraffic, &QPushButton::clicked, this,
            [this] { run([this] { cmdTraffic_Click(); }); });

    // Nothing is written unless the operator asks for it here.
    cmdRecord = button(Frame11, "cmdRecord", QStringLiteral("记录"), {1815, 2925, 1200, 450},
                       song9);
    cmdRecord->setCheckable(true);
    cmdRecord->setToolTip(QStringLiteral("把通信记录写入“文档/smartcar-console”下的 CSV 文件"));
    // The button stands for the recording: every change of its state, however made (a click,
    // a screen reader's Toggle), makes the recording follow it.
    connect(cmdRecord, &QPushButton::toggled, this, [this] { run([this] { cmdRecord_Click(); }); });
    // Red while it records, so that a running recording is seen at a glance.
    connect(cmdRecord, &QPushButton::toggled, cmdRecord, [record = cmdRecord](bool on) {
        QPalette pal = record->palette();
        pal.setColor(QPalette::ButtonText,
                     on ? kAlertRed : QApplication::palette().color(QPalette::ButtonText));
        record->setPalette(pal);
    });
    connect(m_instrument, &InstrumentPanel::recordingFailed, this, &Form1::onRecordingFailed);

    // Every send at the one place it happens; the poll notes what it reads (noteReceived).
    const WallClock now = m_now;
    using Direction = TrafficRow::Direction;
    connect(MSComm1, &CommPort::sent, this,
            [=, this](const QByteArray& bytes, const CarReader& before) {
                m_instrument->note({now(),
                                    Direction::Sent,
                                    bytes,
                                    {},
                                    m_poll.lampLit(),
                                    before,
                                    0,
                                    m_sendingReplayed});
            });
    connect(MSComm1, &CommPort::sendFailed, this,
            [=, this](const QByteArray& bytes, const QString& reason) {
                m_instrument->note({now(),
                                    Direction::Sent,
                                    bytes,
                                    reason,
                                    m_poll.lampLit(),
                                    {},
                                    0,
                                    m_sendingReplayed});
            });

    // 回放 in 功能预留区, and the drive by a recording.
    auto* cmdReplay = button(Frame11, "cmdReplay", QStringLiteral("回放"), {3135, 2925, 1200, 450},
                             song9);
    cmdReplay->setToolTip(QStringLiteral("打开一份行驶记录，重看一遍，或让小车按记录再行驶一遍"));
    connect(cmdReplay, &QPushButton::clicked, this, [this] { run([this] { cmdReplay_Click(); }); });
    setAcceptDrops(true);
    m_replayDrive = new ReplayDrive(this);
    connect(m_replayDrive, &ReplayDrive::finished, this, [this] {
        setStatus(QStringLiteral("按记录行驶结束"));
        if (m_replayWindow)
            m_replayWindow->driveEnded();
    });
    connect(m_replayDrive, &ReplayDrive::failed, this,
            [this](const QString& why) { run([this, why] { endReplayDrive(why, false); }); });
    // A box of the console means something needs the operator: the car stops for it.
    connect(&messageWatch(), &MessageWatch::shown, this,
            [this] { stopReplayDrive(QStringLiteral("出现提示框")); });
}

void Form1::noteReceived(const QDateTime& at, const QByteArray& bytes)
{
    m_instrument->note({at, TrafficRow::Direction::Received, bytes, {}, m_poll.lampLit(), {}});
}

void Form1::noteReading(quint8 reading, bool alarm, bool afterGap)
{
    Trend->addReading(reading, alarm, afterGap);
    describeTrend();
}

void Form1::describeTrend()
{
    const SpeedHistory& history = Trend->history();
    const QString latest = history.size() == 0
        ? QStringLiteral("尚无读数")
        : QStringLiteral("最新读数 ") + speedCaption(history.at(history.size() - 1).speed);
    m_spoken->set(Trend, Spoken::Field::Description,
                  QStringLiteral("%1，报警速度 %2。%3")
                      .arg(latest, MaxSpeed->text().trimmed(), Trend->toolTip()));
}

void Form1::cmdTraffic_Click()
{
    showWindow(m_trafficWindow, [this] {
        auto* window = new TrafficWindow(m_instrument->log(), this);
        m_instrument->setListShown(true);
        connect(window, &QObject::destroyed, m_instrument,
                [instrument = m_instrument] { instrument->setListShown(false); });
        return window;
    });
}

void Form1::setDocumentsFolder(const QString& documents)
{
    m_documents = documents;
}

// The recording follows the button. When the console itself lets the button up (a recording
// that could not start or failed), the recording has already ended and nothing more happens.
void Form1::cmdRecord_Click()
{
    const CsvRecorder& recorder = m_instrument->recorder();
    const QString name = QFileInfo(recorder.filePath()).fileName();
    if (!cmdRecord->isChecked()) {
        if (recorder.isRecording()) {
            m_instrument->stopRecording();
            setStatus(QStringLiteral("记录已保存：") + name);
        }
        return;
    }
    const bool started = !m_documents.isEmpty()
        && m_instrument->startRecording(
            QDir(m_documents).filePath(QStringLiteral("smartcar-console")), m_now());
    if (!started) {
        cmdRecord->setChecked(false);
        setStatus(QStringLiteral("记录未能开始"));
        showMessage(this, QMessageBox::Warning, systemMessageTitle(),
                    QStringLiteral("无法开始记录。"),
                    m_documents.isEmpty() ? QStringLiteral("找不到“文档”文件夹")
                                          : recorder.error());
        return;
    }
    setStatus(QStringLiteral("正在记录：") + QFileInfo(recorder.filePath()).fileName());
    cmdRecord->setToolTip(QDir::toNativeSeparators(recorder.filePath()));
}

void Form1::onRecordingFailed()
{
    // Once: the recorder has stopped and tries nothing more until the operator starts again.
    cmdRecord->setChecked(false);
    setStatus(QStringLiteral("记录已停止：文件无法写入"));
    showMessage(this, QMessageBox::Warning, systemMessageTitle(),
                QStringLiteral("记录已停止：行驶记录无法写入。"), m_instrument->recorder().error());
}

} // namespace smartcar
