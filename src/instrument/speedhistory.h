#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

#include <vector>

// The readings behind the speed trend, and where each one lands on the plot.

namespace smartcar {

struct TimedReading
{
    qint64 ms = 0;    // on a monotonic clock
    quint8 speed = 0; // R/Min
    bool alarm = false;
    bool afterGap = false; // the first after the car fell silent: no line leads to it
};

// The newest readings, at most a fixed number of them: once full, each new reading replaces
// the oldest. It takes memory as readings come, up to its capacity, and no more after that: a
// console that never monitors pays nothing, one left monitoring for days never grows.
class SpeedHistory
{
public:
    // Ten readings a second at the most (one per poll tick) fill this in seven minutes,
    // longer than the longest span the trend shows.
    static constexpr int kDefaultCapacity = 4096;

    explicit SpeedHistory(int capacity = kDefaultCapacity);

    void add(const TimedReading& reading);
    int size() const { return int(m_slots.size()); }
    int capacity() const { return m_capacity; }
    // Oldest first: at(0) is the oldest kept, at(size() - 1) the newest.
    const TimedReading& at(int index) const;

private:
    std::vector<TimedReading> m_slots;
    int m_capacity;
    int m_next = 0; // where the next reading goes once full
};

struct TrendPoint
{
    QPointF pos;
    bool alarm = false;
    bool afterGap = false;
};

// The plot's value axis: 0 at the bottom, the largest reading a byte can carry at the top.
constexpr int kTrendTopSpeed = 255;

// The y of a speed in `plot` (0 at the bottom edge, kTrendTopSpeed at the top). Speeds
// outside that range are held at the nearest edge.
double trendY(double speed, const QRectF& plot);

// The readings of the last `spanMs` before `nowMs`, oldest first, as points in `plot`: now is
// the right edge, now - span the left one. The newest reading older than the span is kept as
// well, left of the plot, so that the line enters from the left edge instead of starting in
// mid-air; anything older is left out. A reading stamped after `nowMs` sits at the right edge.
QList<TrendPoint> trendPoints(const SpeedHistory& history, qint64 nowMs, qint64 spanMs,
                              const QRectF& plot);

} // namespace smartcar
