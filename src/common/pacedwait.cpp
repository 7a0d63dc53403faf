#include "common/pacedwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace smartcar {

bool PacedWait(int ms)
{
    QElapsedTimer clock; // monotonic: no wrap-around to worry about at 24.8 or 49.7 days
    clock.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    const qint64 wanted = qint64(ms) * 1000000;
    for (;;) {
        const qint64 left = wanted - clock.nsecsElapsed();
        if (left <= 0)
            return true;
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        // Round up: a timer may still fire a little early, which the clock check catches.
        timer.start(int((left + 999999) / 1000000));
        // exec() returns -1 at once when the application has been told to quit; looping on
        // it would spin, so the wait ends there and the caller finds its window gone.
        if (loop.exec() == -1)
            return false;
    }
}

} // namespace smartcar
