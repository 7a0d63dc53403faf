#include "common/pacedwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace smartcar {

bool PacedWait(int ms)
{
    if (ms <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return true;
    }
    QElapsedTimer clock; // monotonic: no wrap-around to worry about at 24.8 or 49.7 days
    clock.start();
    const qint64 wanted = qint64(ms) * 1000000;

    // One local loop for the whole wait, entered before any event is handled. Entering a
    // QEventLoop throws away a quit request still queued, and closing the last window asks
    // to quit by queueing one: a loop entered after a handler inside the wait closed the
    // window (Exit, the close box) would leave the program running with no window. The loop's
    // first pass handles whatever is pending.
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    bool full = false;
    const auto check = [&] {
        const qint64 left = wanted - clock.nsecsElapsed();
        if (left <= 0) {
            full = true;
            loop.quit();
            return;
        }
        // Round up: a timer may still fire a little early, which the clock check catches.
        timer.start(int((left + 999999) / 1000000));
    };
    QObject::connect(&timer, &QTimer::timeout, &loop, check);
    timer.start(ms);
    // Told to quit meanwhile (or before: exec() then returns at once), the loop ends without
    // the wait being full.
    loop.exec();
    return full;
}

} // namespace smartcar
