#include "common/pacedwait.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using smartcar::PacedWait;

class TestPacedWait : public QObject
{
    Q_OBJECT
private slots:
    void lastsAtLeastItsLength_data();
    void lastsAtLeastItsLength();
    void handlesEventsWhileWaiting();
    void nonPositiveHandlesPendingEventsOnce();
    void nestedWaitEndsAfterBothBounds();
    void quitCutsTheWaitShortWithoutSpinning();
};

void TestPacedWait::lastsAtLeastItsLength_data()
{
    QTest::addColumn<int>("ms");
    QTest::newRow("one") << 1;
    QTest::newRow("ten") << 10;
    QTest::newRow("hundred") << 100;
}

void TestPacedWait::lastsAtLeastItsLength()
{
    QFETCH(int, ms);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(PacedWait(ms));
    QVERIFY2(clock.nsecsElapsed() >= qint64(ms) * 1000000,
             qPrintable(QString::number(clock.nsecsElapsed())));
}

void TestPacedWait::handlesEventsWhileWaiting()
{
    int fired = 0;
    QTimer t;
    t.setInterval(5);
    connect(&t, &QTimer::timeout, [&] { ++fired; });
    t.start();
    PacedWait(60);
    QVERIFY(fired >= 2);
}

void TestPacedWait::nonPositiveHandlesPendingEventsOnce()
{
    for (int ms : {0, -1, INT_MIN}) {
        bool ran = false;
        QMetaObject::invokeMethod(this, [&] { ran = true; }, Qt::QueuedConnection);
        QVERIFY(PacedWait(ms));
        QVERIFY2(ran, qPrintable(QString::number(ms)));
    }
}

void TestPacedWait::nestedWaitEndsAfterBothBounds()
{
    // The outer wait is 20 ms; a handler inside it waits 80 ms. The outer one returns only
    // after the nested handler did, and the inner wait is not cut short by the outer.
    QElapsedTimer clock;
    clock.start();
    qint64 innerDone = -1;
    QTimer::singleShot(5, [&] {
        QElapsedTimer inner;
        inner.start();
        PacedWait(80);
        QVERIFY(inner.elapsed() >= 80);
        innerDone = clock.elapsed();
    });
    PacedWait(20);
    QVERIFY(innerDone >= 0);
    QVERIFY(clock.elapsed() >= innerDone);
    QVERIFY(clock.elapsed() >= 20);
}

void TestPacedWait::quitCutsTheWaitShortWithoutSpinning()
{
    // Told to quit in the middle, the wait gives up (reporting so) instead of re-entering
    // an event loop that returns at once, over and over. exec() resets the quit state.
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
