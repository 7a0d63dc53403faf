#pragma once

#include <QtGlobal>

namespace smartcar {

// Whether the monitored car has fallen silent: out of radio range, or its controller reset,
// while the adapter stays plugged in. Silent means no byte at all for more than kSilentAfterMs;
// bytes that make no reading (several in one poll) still show that the line is alive.
class Silence
{
public:
    static constexpr qint64 kSilentAfterMs = 1000;

    // Monitoring starts, or starts again, at `nowMs`: the car is silent kSilentAfterMs from
    // now unless a byte comes.
    void restart(qint64 nowMs);

    // What a poll tick at `nowMs` changes on show, when it read any byte or none.
    struct Seen
    {
        bool began = false; // silent from this tick on
        bool ended = false; // the first byte after a silence
        int seconds = 0;    // the whole seconds of silence, when they changed (once a second)
    };
    Seen tick(bool anyByte, qint64 nowMs);

    bool silent() const { return m_silent; }
    // Whether a reading is the first after a silence, so that the trend shows the gap. True
    // once per silence.
    bool takeGap();

private:
    qint64 m_lastByteMs = 0;
    int m_shownSeconds = 0;
    bool m_silent = false;
    bool m_gap = false;
};

} // namespace smartcar
