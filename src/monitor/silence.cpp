#include "monitor/silence.h"

namespace smartcar {

void Silence::restart(qint64 nowMs)
{
    m_lastByteMs = nowMs;
}

Silence::Seen Silence::tick(bool anyByte, qint64 nowMs)
{
    Seen seen;
    if (anyByte) {
        m_lastByteMs = nowMs;
        if (m_silent) {
            m_silent = false;
            m_gap = true;
            seen.ended = true;
        }
        return seen;
    }
    const qint64 quiet = nowMs - m_lastByteMs;
    if (quiet <= kSilentAfterMs)
        return seen;
    if (!m_silent) {
        m_silent = true;
        m_shownSeconds = 0;
        seen.began = true;
    }
    const int seconds = int(quiet / 1000);
    if (seconds != m_shownSeconds) {
        m_shownSeconds = seconds;
        seen.seconds = seconds;
    }
    return seen;
}

bool Silence::takeGap()
{
    const bool gap = m_gap;
    m_gap = false;
    return gap;
}

} // namespace smartcar
