#include "console/windows/replaywindow.h"

#include "car/carcode.h"
#include "console/widgets/plainrows.h"
#include "console/widgets/runplot.h"
#include "console/widgets/widgets.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QVBoxLayout>

namespace smartcar {

namespace {

constexpr int kTickMs = 50;
const QColor kFailedRed(192, 0, 0);

QString clockText(qint64 ms)
{
    const qint64 tenths = ms / 100;
    return QStringLiteral("%1:%2.%3")
        .arg(tenths / 600, 2, 10, QLatin1Char('0'))
        .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
        .arg(tenths % 10);
}

// The run's rows: time from the start, direction, bytes, meaning; failed sends and rows that
// could not be read in red.
class RowsModel : public QAbstractTableModel
{
public:
    RowsModel(const Recording* recording, QObject* parent)
        : QAbstractTableModel(parent)
        , m_recording(recording)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_recording->rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const RecordedRow& row = m_recording->rows.at(index.row());
        if (role == Qt::ForegroundRole && (row.failed || !row.problem.isEmpty()))
            return kFailedRed;
        if (role != Qt::DisplayRole)
            return {};
        if (!row.problem.isEmpty())
            return index.column() == 3 ? row.problem : QString();
        switch (index.column()) {
        case 0:
            return clockText(row.offsetMs);
        case 1:
            return row.sent ? QStringLiteral("发送") : QStringLiteral("接收");
        case 2:
            return hexText(row.bytes);
        default:
            return row.meaning;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QStringList names = {QStringLiteral("时间"), QStringLiteral("方向"),
                                          QStringLiteral("字节"), QStringLiteral("含义")};
        return names.value(section);
    }

private:
    const Recording* m_recording;
};

} // namespace

ReplayWindow::ReplayWindow(Recording recording, const QString& path, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_recording(std::move(recording))
{
    setObjectName(QStringLiteral("ReplayWindow"));
    setWindowTitle(QStringLiteral("回放 - ") + QFileInfo(path).fileName());
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(face(QStringLiteral("宋体"), 10.5));

    m_plot = named(new RunPlot(&m_recording, this), "Plot");
    m_plot->setAccessibleName(QStringLiteral("速度曲线"));
    m_slider = named(new QSlider(Qt::Horizontal, this), "Position");
    m_slider->setRange(0, int(qMin<qint64>(m_recording.durationMs, INT_MAX)));
    m_slider->setAccessibleName(QStringLiteral("播放位置"));
    m_play = named(new QPushButton(QStringLiteral("播放"), this), "Play");
    m_speed = named(new QComboBox(this), "Speed");
    for (const char* s : {"0.5×", "1×", "2×", "5×", "10×"})
        m_speed->addItem(QString::fromUtf8(s));
    m_speed->setCurrentIndex(1);
    m_speed->setAccessibleName(QStringLiteral("播放速度"));
    m_previous = named(new QPushButton(QStringLiteral("上一帧"), this), "PreviousRow");
    m_next = named(new QPushButton(QStringLiteral("下一帧"), this), "NextRow");
    m_elapsed = named(new QLabel(this), "Elapsed");
    m_drive = named(new QPushButton(QStringLiteral("按记录行驶"), this), "Drive");
    m_drive->setToolTip(
        QStringLiteral("从播放位置起，把记录里发送成功的每一帧按原来的时间再发给小车"));
    m_stop = named(new QPushButton(QStringLiteral("停止"), this), "StopDrive");
    for (QPushButton* b : {m_play, m_previous, m_next, m_drive, m_stop})
        b->setAutoDefault(false);

    m_rows = named(new QTableView(this), "Rows");
    m_rows->setAccessibleName(QStringLiteral("记录的行"));
    m_rows->setModel(new RowsModel(&m_recording, m_rows));
    m_rows->setItemDelegate(new PlainRows(m_rows));
    m_rows->horizontalHeader()->setHighlightSections(false);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setWordWrap(false);
    m_rows->verticalHeader()->hide();
    m_rows->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_rows->verticalHeader()->setDefaultSectionSize(m_rows->fontMetrics().height() + 4);
    m_rows->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics fm = m_rows->fontMetrics();
    m_rows->horizontalHeader()->resizeSection(0, fm.horizontalAdvance(u"000:00.0"_qs) + 16);
    m_rows->horizontalHeader()->resizeSection(1, fm.horizontalAdvance(u"方向"_qs) + 16);
    m_rows->horizontalHeader()->resizeSection(2, fm.horizontalAdvance(u"00 00 00 00"_qs) + 16);

    auto* controls = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{m_play, m_speed, m_previous, m_next})
        controls->addWidget(w);
    controls->addWidget(m_elapsed, 1);
    controls->addWidget(m_drive);
    controls->addWidget(m_stop);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_plot, 2);
    layout->addWidget(m_slider);
    layout->addLayout(controls);
    layout->addWidget(m_rows, 3);
    resize(fm.horizontalAdvance(QLatin1Char('0')) * 100, fm.height() * 36);

    m_ticks.setInterval(kTickMs);
    connect(&m_ticks, &QTimer::timeout, this, &ReplayWindow::tick);
    connect(m_play, &QPushButton::clicked, this, [this] { m_playing ? pause() : play(); });
    connect(m_speed, &QComboBox::currentIndexChanged, this, [this] {
        if (m_playing) {
            m_playedFrom = m_position;
            m_clock.start();
        }
    });
    connect(m_slider, &QSlider::valueChanged, this, [this](int ms) {
        if (ms != m_position)
            setPosition(ms);
    });
    connect(m_plot, &RunPlot::seek, this, [this](qint64 ms) {
        if (!m_driving)
            setPosition(ms);
    });
    connect(m_previous, &QPushButton::clicked, this,
            [this] { setPosition(previousRowOffset(m_recording, m_position)); });
    connect(m_next, &QPushButton::clicked, this,
            [this] { setPosition(nextRowOffset(m_recording, m_position)); });
    connect(m_drive, &QPushButton::clicked, this, [this] { emit driveRequested(m_position); });
    connect(m_stop, &QPushButton::clicked, this, &ReplayWindow::stopRequested);

    showPosition();
    updateButtons();
}

double ReplayWindow::speed() const
{
    static constexpr double speeds[] = {0.5, 1, 2, 5, 10};
    return speeds[qBound(0, m_speed->currentIndex(), 4)];
}

void ReplayWindow::setPortOpen(bool open)
{
    m_portOpen = open;
    updateButtons();
}

void ReplayWindow::setAlarmSpeed(double speed)
{
    m_plot->setAlarmSpeed(speed);
}

void ReplayWindow::setPosition(qint64 ms)
{
    m_position = qBound<qint64>(0, ms, m_recording.durationMs);
    if (m_playing) {
        m_playedFrom = m_position;
        m_clock.start();
    }
    showPosition();
}

void ReplayWindow::play()
{
    if (m_position >= m_recording.durationMs && !m_driving)
        m_position = 0; // from the start again
    m_playing = true;
    m_playedFrom = m_position;
    m_clock.start();
    m_ticks.start();
    m_play->setText(QStringLiteral("暂停"));
    showPosition();
}

void ReplayWindow::pause()
{
    m_playing = false;
    m_ticks.stop();
    m_play->setText(QStringLiteral("播放"));
}

void ReplayWindow::tick()
{
    const double rate = m_driving ? 1.0 : speed();
    const qint64 at = m_playedFrom + qint64(double(m_clock.elapsed()) * rate);
    m_position = qMin(at, m_recording.durationMs);
    showPosition();
    if (m_position >= m_recording.durationMs && !m_driving)
        pause();
}

void ReplayWindow::showPosition()
{
    m_plot->setPosition(m_position);
    {
        const QSignalBlocker quiet(m_slider);
        m_slider->setValue(int(qMin<qint64>(m_position, INT_MAX)));
    }
    QString text = clockText(m_position) + QStringLiteral(" / ")
        + clockText(m_recording.durationMs);
    if (m_recording.start.isValid())
        text += QStringLiteral("（%1）").arg(
            m_recording.start.addMSecs(m_position).toString(QStringLiteral("HH:mm:ss")));
    m_elapsed->setText(text);
    const qsizetype row = rowAt(m_recording, m_position);
    if (row != m_shownRow) {
        m_shownRow = row;
        if (row >= 0) {
            // The list turns a page when the row leaves it, rather than scrolling on by one
            // line for every row played: each scroll redraws the whole list. Turned first, the
            // row is in view when it becomes the current one, and the list leaves it there.
            const QModelIndex index = m_rows->model()->index(int(row), 0);
            const QRect at = m_rows->visualRect(index);
            const QRect shown = m_rows->viewport()->rect();
            if (at.top() < shown.top())
                m_rows->scrollTo(index, QAbstractItemView::PositionAtBottom);
            else if (at.bottom() > shown.bottom())
                m_rows->scrollTo(index, QAbstractItemView::PositionAtTop);
            m_rows->selectRow(int(row));
        }
    }
}

void ReplayWindow::updateButtons()
{
    m_drive->setEnabled(m_portOpen && !m_driving && m_recording.sentFrames > 0);
    m_stop->setEnabled(m_driving);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_play, m_speed, m_slider, m_previous, m_next})
        w->setEnabled(!m_driving);
}

void ReplayWindow::driveStarted(qint64 fromMs)
{
    m_driving = true;
    setPosition(fromMs);
    play();
    updateButtons();
}

void ReplayWindow::closeEvent(QCloseEvent* event)
{
    emit closing();
    QWidget::closeEvent(event);
}

void ReplayWindow::driveEnded()
{
    m_driving = false;
    pause();
    updateButtons();
}

} // namespace smartcar
