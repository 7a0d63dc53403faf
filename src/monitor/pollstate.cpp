#include "monitor/pollstate.h"

#include "monitor/poll.h"

namespace smartcar {

PollState::Read PollState::read(TickOrder::Tick tick, int waiting, const QByteArray& bytes,
                                QStringView alarmSpeedText, qint64 nowMs)
{
    Read r;
    r.tick = tick;
    r.waiting = waiting;
    r.silence = m_silence.tick(!bytes.isEmpty(), nowMs);
    r.reading = readingOf(bytes);
    r.alarm = r.reading && isAlarm(*r.reading, alarmSpeedText);
    return r;
}

PollState::Show PollState::finished(const Read& read, bool monitoring)
{
    Show show;
    // The first success that began after the latest failure; stopping, a port change or an
    // unplug leave their own text, and a silent car its own.
    show.connectedAgain = m_ticks.succeeded(read.tick) && monitoring && !m_silence.silent();
    // The count is the one taken before the wait; a tick that began later and has shown its
    // reading is never covered with this older one.
    if (read.waiting <= 0 || !read.reading || !m_ticks.show(read.tick))
        return show;
    show.reading = read.reading;
    show.stale = m_ticks.isStale(read.tick);
    if (read.alarm) {
        m_lampLit = true;
        show.lightsLamp = true;
    }
    show.afterGap = m_silence.takeGap();
    return show;
}

} // namespace smartcar
