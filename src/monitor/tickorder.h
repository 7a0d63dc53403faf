#pragma once

#include <QtGlobal>

namespace smartcar {

// The order of poll ticks. Ticks may overlap: Qt holds back the timer's next tick until the
// current one returns, but restarting monitoring during a tick's wait makes a fresh timer
// whose ticks run inside that wait. Each tick is numbered as it begins; a tick never keeps
// another from running, and the numbers decide what a tick that finishes late may still do.
class TickOrder
{
public:
    using Tick = quint64;

    // Numbers a tick as it begins.
    Tick begin() { return ++m_begun; }

    // The tick failed, and its failure is on show.
    void failed(Tick tick) { m_lastFailed = tick; }

    // The tick read the port and waited its whole interval. True when it is the first success
    // that began after the latest failure: the failure may come off the status panel.
    bool succeeded(Tick tick);

    // A failure on show no longer needs a success to be taken off (the port came back, and
    // the status says so).
    void forgetFailure() { m_lastFailed = 0; }

    // Whether the tick's reading may be shown: no tick that began later has shown one. When
    // it may, the tick counts as shown from now on.
    bool show(Tick tick);

    // The device went: every reading taken so far, shown or still to be shown, is old news.
    void unplugged() { m_lastBeforeUnplug = m_begun; }

    // Whether the tick's reading was taken before the device last went.
    bool isStale(Tick tick) const { return tick <= m_lastBeforeUnplug; }

private:
    Tick m_begun = 0;
    Tick m_lastShown = 0;
    Tick m_lastFailed = 0; // 0 once a later tick has succeeded
    Tick m_lastBeforeUnplug = 0;
};

} // namespace smartcar
