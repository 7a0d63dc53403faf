#include "common/pacedwait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <climits>

using smartcar::PacedWait;

class TestPacedWait : public QObject
{
    Q_OBJECT
private slots:
    void lastsAtLeastItsLengthAndHandlesEvents();
    void nestedWaitIsNotCutShortButQuitIs();
};

void TestPacedWait::lastsAtLeastItsLengthAndHandlesEvents()
{
    // Even the smallest int handles what is pending; a 5 ms timer ticks all through a wait.
    for (const int ms : {INT_MIN, 1, 100}) {
        bool queuedRan = false;
        QMetaObject::invokeMethod(
            this, [&] { queuedRan = true; }, Qt::QueuedConnection);
        QTimer timer;
        QSignalSpy ticks(&timer, &QTimer::timeout);
        timer.start(5);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(PacedWait(ms));
        QVERIFY2(clock.nsecsElapsed() >= qint64(qMax(ms, 0)) * 1000000 && queuedRan
                     && ticks.count() >= ms / 50,
                 qPrintable(QString::number(ms)));
    }
}

void TestPacedWait::nestedWaitIsNotCutShortButQuitIs()
{
    // A handler run inside a 20 ms wait waits 80 ms itself, and gets all of them.
    QElapsedTimer clock;
    clock.start();
    qint64 innerDone = -1;
    QTimer::singleShot(5, [&] { PacedWait(80), innerDone = clock.elapsed(); });
    PacedWait(20);
    QVERIFY2(innerDone >= 80, qPrintable(QString::number(innerDone)));

    // Told to quit, it gives up and says so; re-entering a loop that returns at once, it would
    // never let exec() return.
    bool completed = true;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(20, [] { QCoreApplication::exit(0); });
        completed = PacedWait(60000);
    });
    QVERIFY(QCoreApplication::exec() == 0 && !completed);
}

QTEST_MAIN(TestPacedWait)
#include "test_pacedwait.moc"
