// The serial port service against a pseudo-terminal standing in for the car.
#include "ptypair.h"
#include "serial/commport.h"
#include "support/checks.h"

#include <QTest>

#include <cerrno>

using namespace smartcar;
using namespace std::chrono_literals;

class TestSerial : public QObject
{
    Q_OBJECT
private slots:
    void troubledLine_data();
    void troubledLine();
    void writeTheLineTakesOnlyPartOf_data();
    void writeTheLineTakesOnlyPartOf();
};

namespace {
// A line whose write(2) answers from a script: n >= 0 takes the first n bytes (really writing
// them), a negative number fails with that errno taking nothing. Past the script it writes
// normally, or, when stuck, takes nothing ever again.
class FaultyLine : public CommPort
{
public:
    QList<int> script;
    bool stuck = false;

protected:
    qint64 writeToLine(int fd, const char* data, qint64 size) override
    {
        if (script.isEmpty() && !stuck)
            return CommPort::writeToLine(fd, data, size);
        const int step = script.isEmpty() ? -EAGAIN : script.takeFirst();
        if (step < 0) {
            errno = -step;
            return -1;
        }
        return CommPort::writeToLine(fd, data, qMin<qint64>(step, size));
    }
};
} // namespace

void TestSerial::troubledLine_data()
{
    // How the car stops taking bytes, and whether the receive buffer is full when it then
    // vanishes: Qt stops reading once it is, so it never reads the hang-up itself.
    QTest::addColumn<bool>("flowControl"); // otherwise the car stops reading
    QTest::addColumn<bool>("fullReceiveBuffer");
    QTest::newRow("heldByFlowControlThenClosed") << true << false;
    // The line still takes a few bytes: a frame sent now would reach the car late or cut short.
    QTest::newRow("backedUpThenClosedWithFullReceiveBuffer") << false << true;
}

void TestSerial::troubledLine()
{
    QFETCH(bool, flowControl);
    QFETCH(bool, fullReceiveBuffer);
    PtyPair car;
    CommPort port;
    int gone = 0;
    bool openWhenTold = true;
    connect(&port, &CommPort::disconnected, this, [&] {
        ++gone;
        openWhenTold = port.portOpen();
    });
    const ScopedEnv com1("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    port.setPortOpen(true);

    // A busy line fails one send and keeps the port.
    car.holdConsoleOutput(flowControl);
    const qsizetype backlog = flowControl ? 0 : car.backUpConsoleOutput('A');
    const QString report = failureOf([&] { port.output(bytes({0x85, 0x60})); });
    QVERIFY2(report.contains(QStringLiteral("发送超时")), qPrintable(report));
    QVERIFY(port.portOpen());
    // The line moves again: nothing of the failed frame follows, and the next frame is whole
    // and in the device by the time the send returns (no event loop runs in between).
    car.holdConsoleOutput(false);
    QCOMPARE(car.read(int(backlog), 2s), QByteArray(backlog, 'A'));
    port.output(bytes({0x86, 0x30}));
    QCOMPARE(car.read(2, 0ms), bytes({0x86, 0x30}));

    // What comes in is kept oldest first, up to the receive buffer's size.
    const QByteArray first(CommPort::kReceiveBufferBytes, '\x3C');
    car.write(first + "late");
    QTRY_COMPARE(port.inBufferCount(), int(first.size()));
    if (!fullReceiveBuffer) {
        QCOMPARE(port.input(), first);
        QTRY_COMPARE(port.inBufferCount(), 4); // what did not fit follows, not lost
        QCOMPARE(port.input(), QByteArray("late"));
    }

    // The car vanishes. The dead device keeps raising errors: the port is closed before the
    // window hears of it, so none of them becomes another signal.
    car.vanish();
    QTRY_COMPARE(gone, 1);
    QVERIFY(!openWhenTold && !port.portOpen());
    QCOMPARE(failureOf([&] { port.output("\x87"); }), Failure::portNotOpen().describe());
}

void TestSerial::writeTheLineTakesOnlyPartOf_data()
{
    QTest::addColumn<QList<int>>("script");
    QTest::addColumn<bool>("stuck");
    QTest::addColumn<QString>("failure"); // empty: the send succeeds
    QTest::addColumn<QByteArray>("carGets");
    const QByteArray earlier = bytes({0x86, 0x30});
    const QByteArray frame = bytes({0x85, 0x60});
    QTest::newRow("interruptedWriteIsRetriedNotReported")
        << QList<int>{-EINTR, -EINTR} << false << QString() << earlier + frame;
    QTest::newRow("nothingTakenFlushesNothingBefore")
        << QList<int>{-EAGAIN} << false << QStringLiteral("发送超时：线路忙，此帧未发送")
        << earlier;
    QTest::newRow("headTakenTheRestFollows")
        << QList<int>{1, -EINTR, 0} << false << QString() << earlier + frame;
    QTest::newRow("headTakenRestNeverFitsSaysTheLineWasEmptied")
        << QList<int>{1} << true << QStringLiteral("发送超时：线路已清空，之前的帧可能未发出")
        << QByteArray(); // not checked
}

void TestSerial::writeTheLineTakesOnlyPartOf()
{
    QFETCH(QList<int>, script);
    QFETCH(bool, stuck);
    QFETCH(QString, failure);
    QFETCH(QByteArray, carGets);
    PtyPair car;
    FaultyLine port;
    {
        const ScopedEnv com1("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
        port.setPortOpen(true);
    }
    port.output(bytes({0x86, 0x30})); // still in the line: the car has not read it yet
    port.script = script;
    port.stuck = stuck;
    QCOMPARE(failureOf([&] {
                 port.output(bytes({0x85, 0x60}));
             }),
             failure.isEmpty() ? QString() : Failure::portFailure(failure).describe());
    QVERIFY(port.portOpen());
    // A pseudo-terminal has no output queue of its own to empty; what a real line dropped
    // can only be said for the other rows. A brake sent last marks the end of what came.
    if (!stuck) {
        port.output(bytes({0x87}));
        QCOMPARE(car.read(int(carGets.size()) + 1, 2s), carGets + bytes({0x87}));
    }
}

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
