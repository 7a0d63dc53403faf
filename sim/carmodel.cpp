#include "sim/carmodel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace smartcar::sim {

int rpmForSpeed(int speed)
{
    return std::clamp(speed, 0, 255);
}

void CarModel::apply(const Frame& frame, Time now)
{
    // Steering and ranging change nothing the car reports: no obstacle is modelled.
    if (frame.hasSpeed()) {
        const int rpm = rpmForSpeed(frame.speed);
        m_from = wheelVelocity(now);
        m_target = frame.code == CarCode::Retreat ? -rpm : rpm;
        m_since = now;
    } else if (frame.code == CarCode::ColdBrake) {
        m_from = m_target = 0;
        m_since = now;
    }
}

int CarModel::wheelVelocity(Time now) const
{
    const auto elapsed = std::clamp(now - m_since, Time{0}, kRampTime);
    const double share = double(elapsed.count()) / double(kRampTime.count());
    return int(std::lround(m_from + (m_target - m_from) * share));
}

quint8 CarModel::wheelRpm(Time now) const
{
    return quint8(std::min(255, std::abs(wheelVelocity(now))));
}

QString logLine(const QTime& at, const Frame& frame, const CarModel& after)
{
    QString line = at.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ")
        + hexText(frame.bytes).leftJustified(5) + QStringLiteral("  ") + describe(frame);
    const int target = after.targetVelocity();
    if (frame.hasSpeed())
        line += target == 0
            ? QStringLiteral(" -> wheels to standstill")
            : QStringLiteral(" -> wheels to %1 rpm %2")
                  .arg(std::abs(target))
                  .arg(target < 0 ? QStringLiteral("backward") : QStringLiteral("forward"));
    else if (frame.code == CarCode::ColdBrake)
        line += QStringLiteral(" -> wheels stopped");
    return line;
}

} // namespace smartcar::sim
