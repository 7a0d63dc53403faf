#include "console/widgets/speedtrend.h"

#include "console/widgets/colours.h"
#include "console/widgets/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace smartcar {

namespace {
constexpr int kMinPaintIntervalMs = 1000 / 30;
// However slowly the plot scrolls, a reading is on it this soon.
constexpr int kMaxPaintDelayMs = 200;
// How often a standing plot looks whether monitoring has started.
constexpr int kStandingCheckMs = 250;
constexpr int kSpans[] = {60, 300, 30};

const QColor kTrace(0, 0, 128); // the navy of the window's labels
const QColor kLampRim(0, 128, 0);
const QColor kGrid(216, 216, 216);
} // namespace

SpeedTrend::SpeedTrend(QWidget* parent)
    : QWidget(parent)
{
    setFont(face(QStringLiteral("宋体"), 8));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("速度曲线：单击切换显示时长（60 秒、5 分钟、30 秒）"));
    m_clock.start();
    m_paintGate.setSingleShot(true);
    connect(&m_paintGate, &QTimer::timeout, this, &SpeedTrend::paintRequested);
    connect(&m_clockTimer, &QTimer::timeout, this, &SpeedTrend::onClock);
    m_clockTimer.start(kStandingCheckMs);
}

void SpeedTrend::setRunning(std::function<bool()> running)
{
    m_running = std::move(running);
    onClock();
}

void SpeedTrend::addReading(quint8 speed, bool alarm, bool afterGap)
{
    m_history.add({m_clock.elapsed(), speed, alarm, afterGap});
    requestPaint();
}

void SpeedTrend::setAlarmSpeed(double speed)
{
    if (speed == m_alarmSpeed || (std::isnan(speed) && std::isnan(m_alarmSpeed)))
        return;
    m_alarmSpeed = speed;
    requestPaint(true);
}

qint64 SpeedTrend::now() const
{
    const qint64 clock = m_moving ? m_clock.elapsed() : m_frozenAt;
    // A tick that was waiting when monitoring stopped still shows its reading: keep it on the
    // plot rather than beyond its right edge.
    const qint64 newest = m_history.size() ? m_history.at(m_history.size() - 1).ms : 0;
    return std::max(clock, newest);
}

void SpeedTrend::onClock()
{
    const bool moving = m_running && m_running();
    const int interval = moving ? scrollStep() : kStandingCheckMs;
    if (m_clockTimer.interval() != interval)
        m_clockTimer.setInterval(interval);
    if (moving != m_moving) {
        m_moving = moving;
        if (!moving)
            m_frozenAt = m_clock.elapsed();
        requestPaint();
    } else if (moving && (m_changed || m_drewPoints || anythingInView())) {
        // The scroll step paints whatever came since the last one: no timer of its own.
        m_paintGate.stop();
        paintRequested();
    }
}

int SpeedTrend::scrollStep() const
{
    // The widget's width stands in for the plot's: measuring the plot would load the font at
    // start, long before anything is drawn.
    return std::clamp(m_spanSeconds * 1000 / std::max(width(), 1), kMinPaintIntervalMs, 1000);
}

bool SpeedTrend::anythingInView() const
{
    const qsizetype n = m_history.size();
    return n > 0 && m_history.at(n - 1).ms >= now() - m_spanSeconds * 1000LL;
}

// A reading, a scroll step or a new alarm speed: painted once the last paint is one interval
// old. Only the plot changes with the readings; the axes around it stay as they are.
void SpeedTrend::requestPaint(bool whole)
{
    m_wholePending = m_wholePending || whole;
    m_changed = true;
    if (m_paintGate.isActive() || !isVisible())
        return;
    // Scrolling in steps short enough, the next step shows the change soon enough.
    if (m_moving && m_clockTimer.interval() <= kMaxPaintDelayMs)
        return;
    const qint64 since = m_lastPaint.isValid() ? m_lastPaint.elapsed() : kMinPaintIntervalMs;
    m_paintGate.start(int(std::max<qint64>(0, std::min(scrollStep(), kMaxPaintDelayMs) - since)));
}

void SpeedTrend::paintRequested()
{
    if (m_wholePending || m_plot.isEmpty())
        update();
    else
        update(m_plot.toAlignedRect());
}

void SpeedTrend::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    const auto at = std::find(std::begin(kSpans), std::end(kSpans), m_spanSeconds);
    m_spanSeconds = at + 1 < std::end(kSpans) ? *(at + 1) : kSpans[0];
    onClock();
    update();
}

QRectF SpeedTrend::plotRect() const
{
    const QFontMetrics fm = fontMetrics();
    const double left = fm.horizontalAdvance(QStringLiteral("255")) + 6;
    const double top = fm.height() / 2.0 + 2;
    const double bottom = fm.height() + 4;
    const double right = fm.horizontalAdvance(QStringLiteral("0")) / 2.0 + 4;
    return QRectF(left, top, width() - left - right, height() - top - bottom);
}

void SpeedTrend::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        m_background = QPixmap();
        m_wholePending = true;
    }
    QWidget::changeEvent(event);
}

// Axes, grid, labels and the alarm line change only with the size, the span, the alarm speed
// or the look; they are drawn once into a picture that every repaint copies.
void SpeedTrend::paintBackground()
{
    const qreal dpr = devicePixelRatioF();
    m_background = QPixmap(size() * dpr);
    m_background.setDevicePixelRatio(dpr);
    m_backgroundKey = {m_spanSeconds, m_alarmSpeed};
    m_plot = plotRect();
    QPainter p(&m_background);
    p.fillRect(rect(), palette().color(QPalette::Window));
    const QRectF plot = m_plot;
    if (plot.width() < 4 || plot.height() < 4)
        return;
    p.fillRect(plot, palette().color(QPalette::Base));
    const QFontMetrics fm = fontMetrics();
    const QColor text = palette().color(QPalette::WindowText);

    // Value axis: R/Min from 0 to 255.
    for (int v = 0; v <= 250; v += 50) {
        const double y = trendY(v, plot);
        p.setPen(v == 0 ? text : kGrid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(text);
        p.drawText(QRectF(0, y - fm.height() / 2.0, plot.left() - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    // Time axis: seconds back from now, in quarters of the span.
    for (int q = 0; q <= 4; ++q) {
        const double x = plot.left() + plot.width() * q / 4.0;
        p.setPen(kGrid);
        if (q > 0 && q < 4)
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(text);
        const int seconds = m_spanSeconds * (4 - q) / 4;
        const QString label = q == 4 ? QStringLiteral("0 秒") : QStringLiteral("-%1").arg(seconds);
        const double w = fm.horizontalAdvance(label);
        const double left = std::clamp(q == 4 ? x - w : x - w / 2, 0.0, width() - w);
        p.drawText(QPointF(left, plot.bottom() + fm.ascent() + 2), label);
    }
    p.drawText(QPointF(plot.left() + 3, plot.top() + fm.ascent()), QStringLiteral("R/Min"));
    p.setPen(text);
    p.drawRect(plot);

    p.setClipRect(plot.adjusted(-4, -4, 4, 4));
    p.setRenderHint(QPainter::Antialiasing);
    // The alarm speed, where the plot can show it.
    if (m_alarmSpeed >= 0 && m_alarmSpeed <= kTrendTopSpeed) {
        const double y = trendY(m_alarmSpeed, plot);
        p.setPen(QPen(kAlertRed, 1, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        const QString label = QStringLiteral("报警 %1").arg(m_alarmSpeed);
        // At the left end, where the oldest readings are, clear of the unit at the top.
        const double ly = y - 2 < plot.top() + 2 * fm.height() ? y + fm.ascent() + 1 : y - 2;
        p.drawText(QPointF(plot.left() + 3, ly), label);
    }
}

void SpeedTrend::paintEvent(QPaintEvent*)
{
    m_lastPaint.start();
    m_wholePending = false;
    m_changed = false;
    m_drewPoints = false;
    if (m_background.isNull() || m_background.deviceIndependentSize() != QSizeF(size())
        || m_backgroundKey != std::pair{m_spanSeconds, m_alarmSpeed})
        paintBackground();
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
    const QRectF plot = m_plot;
    if (plot.width() < 4 || plot.height() < 4)
        return;
    const QColor text = palette().color(QPalette::WindowText);
    p.setRenderHint(QPainter::Antialiasing);

    const QList<TrendPoint> points = trendPoints(m_history, now(), m_spanSeconds * 1000LL, plot);
    if (points.isEmpty()) {
        p.setPen(text);
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("开始检测后在此显示速度"));
        return;
    }
    m_drewPoints = true;
    p.setClipRect(plot);
    // A run of equal readings is one straight segment: its middle points add nothing to the
    // line but the cost of stroking them.
    QPainterPath trace(points.first().pos);
    bool flat = false; // the last segment is level, and may be drawn on
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF& pt = points[i].pos;
        if (points[i].afterGap) {
            trace.moveTo(pt);
            flat = false;
            continue;
        }
        const QPointF end = trace.currentPosition();
        if (flat && end.y() == pt.y()) {
            trace.setElementPositionAt(trace.elementCount() - 1, pt.x(), pt.y());
            continue;
        }
        flat = end.y() == pt.y();
        trace.lineTo(pt);
    }
    p.setPen(QPen(kTrace, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    // The readings that light the lamp, in its green; a lone reading, alone on the plot or
    // between two silences, has no line to show it. Each mark is a copy of one drawn once:
    // drawing hundreds of round marks afresh every repaint was nearly all a repaint cost. Marks
    // that would land on the same pixel are copied once.
    if (m_marks.isNull() || m_marks.devicePixelRatio() != devicePixelRatioF())
        drawMarks();
    QPoint last(-1, -1);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const TrendPoint& pt = points[i];
        const bool lone = (i == 0 || pt.afterGap)
            && (i + 1 == points.size() || points[i + 1].afterGap);
        if (!pt.alarm && !lone)
            continue;
        const QPoint at = pt.pos.toPoint();
        if (at == last)
            continue;
        last = at;
        p.drawPixmap(at - QPoint(kMarkHalf, kMarkHalf), m_marks,
                     QRectF(pt.alarm ? 0 : kMarkSize * m_marks.devicePixelRatio(), 0,
                            kMarkSize * m_marks.devicePixelRatio(),
                            kMarkSize * m_marks.devicePixelRatio()));
    }
}

void SpeedTrend::drawMarks()
{
    // Side by side: the lamp's green mark, then the trace's dot for a lone reading.
    const qreal dpr = devicePixelRatioF();
    m_marks = QPixmap(QSize(2 * kMarkSize, kMarkSize) * dpr);
    m_marks.setDevicePixelRatio(dpr);
    m_marks.fill(Qt::transparent);
    QPainter p(&m_marks);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kMarkHalf, kMarkHalf);
    p.setPen(QPen(kLampRim, 1));
    p.setBrush(kLampGreen);
    p.drawEllipse(centre, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kTrace);
    p.drawEllipse(centre + QPointF(kMarkSize, 0), 2, 2);
}

} // namespace smartcar
