#include "monitor/tickorder.h"

namespace smartcar {

bool TickOrder::succeeded(Tick tick)
{
    // A tick that began before the failure proves nothing about its cause.
    if (m_lastFailed == 0 || tick <= m_lastFailed)
        return false;
    m_lastFailed = 0;
    return true;
}

bool TickOrder::show(Tick tick)
{
    if (tick < m_lastShown)
        return false;
    m_lastShown = tick;
    return true;
}

} // namespace smartcar
