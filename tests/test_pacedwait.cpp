#include "common/pacedwait.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <climits>

using smartcar::PacedWait;

class TestPacedWait : public QObject
{
    Q_OBJECT
private slots:
    void lastsAtLeastItsLengthAndHandlesEvents_data();
    void lastsAtLeastItsLengthAndHandlesEvents();
    void nestedWaitIsNotCutShort();
    void quitCutsTheWaitShort();
};

void TestPacedWait::lastsAtLeastItsLengthAndHandlesEvents_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("ticksAtLeast"); // of a 5 ms timer running during the wait
    QTest::newRow("smallestIntHandlesPendingOnce") << INT_MIN << 0;
    QTest::newRow("zeroHandlesPendingOnce") << 0 << 0;
    QTest::newRow("oneMillisecond") << 1 << 0;
    QTest::newRow("hundredKeepsTimersRunning") << 100 << 2;
}

void TestPacedWait::lastsAtLeastItsLengthAndHandlesEvents()
{
    QFETCH(int, ms);
    QFETCH(int, ticksAtLeast);
    bool queuedRan = false;
    QMetaObject::invokeMethod(this, [&] { queuedRan = true; }, Qt::QueuedConnection);
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(PacedWait(ms));
    const qint64 ns = clock.nsecsElapsed();
    QVERIFY2(ns >= qint64(qMax(ms, 0)) * 1000000, qPrintable(QString::number(ns)));
    QVERIFY(queuedRan);
    QVERIFY2(ticks >= ticksAtLeast, qPrintable(QString::number(ticks)));
}

void TestPacedWait::nestedWaitIsNotCutShort()
{
    // A handler run inside a 20 ms wait waits 80 ms itself, and gets all of them.
    QElapsedTimer clock;
    clock.start();
    qint64 innerDone = -1;
    QTimer::singleShot(5, [&] {
        PacedWait(80);
        innerDone = clock.elapsed();
    });
    PacedWait(20);
    QVERIFY2(innerDone >= 80, qPrintable(QString::number(innerDone)));
}

void TestPacedWait::quitCutsTheWaitShort()
{
    // Told to quit in the middle, the wait gives up and says so, instead of re-entering an
    // event loop that returns at once, over and over; exec() would never return then.
    bool completed = true;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(20, [] { QCoreApplication::exit(0); });
        completed = PacedWait(60000);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!completed);
}

QTEST_MAIN(TestPacedWait)
#include "test_pacedwait.moc"
