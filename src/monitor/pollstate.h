#pragma once

#include "monitor/silence.h"
#include "monitor/tickorder.h"

#include <QByteArray>
#include <QStringView>

#include <optional>

namespace smartcar {

// What the receive poll keeps from one tick to the next and decides for each: the order of
// ticks, the car's silence and the lamp. The window's tick reads the port and its boxes, waits
// its interval, and shows what this decides; it keeps no state of its own.
class PollState
{
public:
    // What a tick read, as it left the port, before its wait.
    struct Read
    {
        TickOrder::Tick tick = 0;
        int waiting = 0; // the count taken before the read
        std::optional<quint8> reading;
        bool alarm = false; // judged once, against the alarm speed at the time of the reading
        Silence::Seen silence;
    };
    // What a tick that waited its whole interval shows.
    struct Show
    {
        bool connectedAgain = false;   // the failure before it may come off the status panel
        std::optional<quint8> reading; // the reading to show, if it may be shown
        bool stale = false;            // the reading was taken before the device last went
        bool lightsLamp = false;
        bool afterGap = false; // the first reading after a silence
    };

    TickOrder::Tick begin() { return m_ticks.begin(); }
    Read read(TickOrder::Tick tick, int waiting, const QByteArray& bytes,
              QStringView alarmSpeedText, qint64 nowMs);
    // The tick failed, and its failure is on show.
    void failed(TickOrder::Tick tick) { m_ticks.failed(tick); }
    // `monitoring`: whether the poll is still on once the wait is over.
    Show finished(const Read& read, bool monitoring);

    // Monitoring starts, or starts again, at `nowMs`.
    void restart(qint64 nowMs) { m_silence.restart(nowMs); }
    // The device went: every reading taken so far is old news.
    void unplugged() { m_ticks.unplugged(); }
    // The port came back, and the status says so.
    void forgetFailure() { m_ticks.forgetFailure(); }
    // Whether a reading has lit the lamp; once lit, it stays lit.
    bool lampLit() const { return m_lampLit; }

private:
    TickOrder m_ticks;
    Silence m_silence;
    bool m_lampLit = false;
};

} // namespace smartcar
