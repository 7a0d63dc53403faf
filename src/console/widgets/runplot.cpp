#include "console/widgets/runplot.h"

#include "console/widgets/colours.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace smartcar {

namespace {
constexpr double kTopSpeed = 255; // R/Min at the top edge
const QColor kPlotBackground(255, 255, 255);
const QColor kReadingLine(0, 0, 160);
const QColor kAlarmLine(255, 0, 0);
const QColor kCursor(200, 0, 0);
} // namespace

RunPlot::RunPlot(const Recording* recording, QWidget* parent)
    : QWidget(parent)
    , m_recording(recording)
{
    setMinimumSize(320, 140);
    setToolTip(QStringLiteral("整段记录的速度曲线：单击跳到该处"));
}

void RunPlot::setAlarmSpeed(double speed)
{
    if (speed == m_alarmSpeed)
        return;
    m_alarmSpeed = speed;
    drawRun();
    update();
}

void RunPlot::setPosition(qint64 ms)
{
    if (ms == m_position)
        return;
    const int before = int(xOf(m_position));
    m_position = ms;
    const int after = int(xOf(m_position));
    if (before != after) {
        // Only the cursor's old and new columns change.
        update(QRect(before - 2, 0, 5, height()));
        update(QRect(after - 2, 0, 5, height()));
    }
}

QRectF RunPlot::plotRect() const
{
    return QRectF(rect()).adjusted(4, 4, -4, -14);
}

double RunPlot::xOf(qint64 ms) const
{
    const QRectF r = plotRect();
    const qint64 span = qMax<qint64>(m_recording->durationMs, 1);
    return r.left() + r.width() * double(qBound<qint64>(0, ms, span)) / double(span);
}

void RunPlot::resizeEvent(QResizeEvent*)
{
    drawRun();
}

void RunPlot::drawRun()
{
    if (width() <= 0 || height() <= 0)
        return;
    const qreal dpr = devicePixelRatioF();
    m_run = QPixmap(size() * dpr);
    m_run.setDevicePixelRatio(dpr);
    m_run.fill(kPlotBackground);
    QPainter p(&m_run);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = plotRect();
    const auto yOf = [&](double speed) { return r.bottom() - r.height() * speed / kTopSpeed; };

    p.setPen(QColor(200, 200, 200));
    p.drawRect(r);
    if (m_alarmSpeed > 0 && m_alarmSpeed <= kTopSpeed) {
        p.setPen(QPen(kAlarmLine, 1, Qt::DashLine));
        p.drawLine(QPointF(r.left(), yOf(m_alarmSpeed)), QPointF(r.right(), yOf(m_alarmSpeed)));
    }
    QPainterPath line;
    bool joined = false;
    for (const RecordedRow& row : m_recording->rows) {
        if (!row.problem.isEmpty() || row.sent)
            continue;
        if (!row.speed) {
            joined = false; // the car fell silent: a gap
            continue;
        }
        const QPointF at(xOf(row.offsetMs), yOf(*row.speed));
        if (joined)
            line.lineTo(at);
        else
            line.moveTo(at);
        joined = true;
        if (row.lampLit) {
            p.setPen(Qt::NoPen);
            p.setBrush(kLampGreen);
            p.drawRect(QRectF(at.x() - 1, r.bottom() + 3, 2, 8));
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kReadingLine, 1.5));
    p.drawPath(line);
}

void RunPlot::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawPixmap(event->rect(), m_run,
                 QRectF(QPointF(event->rect().topLeft()) * m_run.devicePixelRatio(),
                        QSizeF(event->rect().size()) * m_run.devicePixelRatio()));
    p.setPen(QPen(kCursor, 1));
    const double x = xOf(m_position);
    p.drawLine(QPointF(x, 0), QPointF(x, height()));
}

void RunPlot::mousePressEvent(QMouseEvent* event)
{
    const QRectF r = plotRect();
    const double share = qBound(0.0, (event->position().x() - r.left()) / r.width(), 1.0);
    emit seek(qint64(share * double(m_recording->durationMs)));
}

} // namespace smartcar
