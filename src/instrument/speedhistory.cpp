#include "instrument/speedhistory.h"

#include <algorithm>

namespace smartcar {

SpeedHistory::SpeedHistory(int capacity)
    : m_capacity(std::max(capacity, 1))
{
}

void SpeedHistory::add(const TimedReading& reading)
{
    if (size() < m_capacity) {
        m_slots.push_back(reading);
        return;
    }
    m_slots[size_t(m_next)] = reading;
    m_next = (m_next + 1) % m_capacity;
}

const TimedReading& SpeedHistory::at(int index) const
{
    return m_slots[size_t((m_next + index) % size())];
}

double trendY(double speed, const QRectF& plot)
{
    const double clamped = std::clamp(speed, 0.0, double(kTrendTopSpeed));
    return plot.bottom() - clamped / kTrendTopSpeed * plot.height();
}

QList<TrendPoint> trendPoints(const SpeedHistory& history, qint64 nowMs, qint64 spanMs,
                              const QRectF& plot)
{
    QList<TrendPoint> points;
    if (spanMs <= 0 || history.size() == 0)
        return points;
    // Readings are stamped in arrival order, so the first one inside the span is found by
    // walking back from the newest.
    int first = history.size();
    while (first > 0 && nowMs - history.at(first - 1).ms <= spanMs)
        --first;
    if (first > 0)
        --first; // the one that brings the line in from the left edge
    points.reserve(history.size() - first);
    for (int i = first; i < history.size(); ++i) {
        const TimedReading& r = history.at(i);
        const double age = double(std::max<qint64>(nowMs - r.ms, 0));
        const double x = plot.right() - age / double(spanMs) * plot.width();
        points.append({QPointF(x, trendY(r.speed, plot)), r.alarm, r.afterGap});
    }
    return points;
}

} // namespace smartcar
