#include "console/windows/trafficwindow.h"

#include "console/widgets/plainrows.h"
#include "console/widgets/widgets.h"
#include "instrument/traffic.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace smartcar {

TrafficWindow::TrafficWindow(TrafficLog* log, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_log(log)
{
    setObjectName(QStringLiteral("TrafficWindow"));
    setWindowTitle(QStringLiteral("通信记录"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(face(QStringLiteral("宋体"), 10.5));

    m_rows = named(new QTableView(this), "Rows");
    m_rows->setAccessibleName(QStringLiteral("通信记录"));
    // Once the list is full, each new batch takes the oldest rows away, and with them, as a
    // rule, the current row: the view would scroll to the row that becomes current, at the
    // top. Connected before the view's own handlers, so that it holds still meanwhile; where
    // it shows is the operator's choice alone.
    connect(log, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] {
        m_rows->setAutoScroll(false);
        m_keepingEnd = true;
    });
    connect(log, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_keepingEnd = false;
        m_rows->setAutoScroll(true);
    });
    m_rows->setModel(log);
    m_rows->setItemDelegate(new PlainRows(m_rows, TrafficLog::FailedRole));
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setWordWrap(false);
    m_rows->setShowGrid(false);
    // Every row the same height, so that ten thousand rows cost the view nothing to lay out.
    m_rows->verticalHeader()->hide();
    m_rows->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_rows->verticalHeader()->setDefaultSectionSize(m_rows->fontMetrics().height() + 4);
    QHeaderView* columns = m_rows->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    const QFontMetrics fm = m_rows->fontMetrics();
    columns->resizeSection(TrafficLog::TimeColumn,
                           fm.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    columns->resizeSection(TrafficLog::DirectionColumn,
                           fm.horizontalAdvance(QStringLiteral("方向")) + 16);
    columns->resizeSection(TrafficLog::BytesColumn,
                           fm.horizontalAdvance(QStringLiteral("00 00 00 00")) + 16);

    m_counts = named(new QLabel(this), "Counts");
    auto* copy = named(new QPushButton(QStringLiteral("复制所选"), this), "Copy");
    copy->setAutoDefault(false);
    copy->setToolTip(QStringLiteral("把选中的行复制到剪贴板（Ctrl+C）"));
    connect(copy, &QPushButton::clicked, this, &TrafficWindow::copySelection);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_counts, 1);
    bottom->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_rows, 1);
    layout->addLayout(bottom);
    resize(fm.horizontalAdvance(QLatin1Char('0')) * 80, fm.height() * 30);

    // The list follows the newest row until the operator scrolls away from the bottom, and
    // again once they scroll back. The scroll bar's range grows with every row and settles only
    // when the list has been laid out, so the end is kept whenever the range changes.
    QScrollBar* bar = m_rows->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!m_keepingEnd)
            m_following = value >= bar->maximum();
    });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
        if (!m_following)
            return;
        m_keepingEnd = true;
        bar->setValue(max);
        m_keepingEnd = false;
    });
    connect(log, &QAbstractItemModel::rowsInserted, this, &TrafficWindow::showCounts);
    showCounts();

    // Keys are caught on their way into the application, before the list or a button can
    // take them; the filter goes with the window.
    QCoreApplication::instance()->installEventFilter(this);
}

TrafficWindow::~TrafficWindow()
{
    // QWidget's destructor still closes the window, which lays the list out once more and moves
    // its scroll bar; by then the members the handlers above use are gone.
    m_rows->verticalScrollBar()->disconnect(this);
    QCoreApplication::instance()->removeEventFilter(this);
}

void TrafficWindow::showCounts()
{
    QString text = QStringLiteral("共 %1 行").arg(m_log->rowCount());
    if (m_log->dropped() > 0)
        text += QStringLiteral("，已丢弃较早的 %1 行（只保留最近 %2 行）")
                    .arg(m_log->dropped())
                    .arg(m_log->capacity());
    m_counts->setText(text);
}

void TrafficWindow::copySelection()
{
    QModelIndexList picked = m_rows->selectionModel()->selectedRows();
    std::sort(picked.begin(), picked.end());
    QStringList lines;
    for (const QModelIndex& index : picked) {
        QStringList cells;
        for (int c = 0; c < TrafficLog::ColumnCount; ++c)
            cells << m_log->index(index.row(), c).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool TrafficWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()
        || static_cast<QWidget*>(watched)->window() != this)
        return false;
    // Esc brakes here through the main window's keys (DriveKeys), as in every window.
    if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return false;
}

} // namespace smartcar
