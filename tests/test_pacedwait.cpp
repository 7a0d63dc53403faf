#include "common/pacedwait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using smartcar::PacedWait;

class TestPacedWait : public QObject
{
    Q_OBJECT
private slots:
    void lastsAtLeastItsLengthAndHandlesEvents_data();
    void lastsAtLeastItsLengthAndHandlesEvents();
    void nestedWaitIsNotCutShortButQuitIs();
};

void TestPacedWait::lastsAtLeastItsLengthAndHandlesEvents_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("ticksAtLeast"); // of a 5 ms timer running through the wait
    QTest::newRow("zeroStillHandlesWhatIsPending") << 0 << 0;
    QTest::newRow("negativeStillHandlesWhatIsPending") << -20 << 0;
    QTest::newRow("keepsHandlingEventsAllThrough") << 100 << 2;
}

void TestPacedWait::lastsAtLeastItsLengthAndHandlesEvents()
{
    QFETCH(int, ms);
    QFETCH(int, ticksAtLeast);
    bool queuedRan = false;
    QMetaObject::invokeMethod(
        this, [&] { queuedRan = true; }, Qt::QueuedConnection);
    QTimer timer;
    QSignalSpy ticks(&timer, &QTimer::timeout);
    timer.start(5);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(PacedWait(ms));
    const qint64 elapsedNs = clock.nsecsElapsed();
    QVERIFY(queuedRan);
    QVERIFY(ticks.count() >= ticksAtLeast);
    if (ms > 0)
        QVERIFY2(elapsedNs >= qint64(ms) * 1000000, qPrintable(QString::number(elapsedNs)));
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
