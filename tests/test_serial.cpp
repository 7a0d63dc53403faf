// The serial port service against a pseudo-terminal standing in for the car.
#include "common/failure.h"
#include "serial/commport.h"
#include "support/bytes.h"
#include "ptypair.h"

#include <QSignalSpy>
#include <QTest>

using namespace smartcar;
using namespace std::chrono_literals;

namespace {
Failure::Kind failureOf(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Failure& f) {
        return f.kind();
    }
    qFatal("no failure");
}
} // namespace

class TestSerial : public QObject
{
    Q_OBJECT
private slots:
    void outputReachesTheDeviceBeforeReturning();
    void inputIsOldestFirstAndCapped();
    void busyLineFailsOneSendAndKeepsThePort_data();
    void busyLineFailsOneSendAndKeepsThePort();
    void vanishedDeviceClosesOnce_data();
    void vanishedDeviceClosesOnce();
};

void TestSerial::outputReachesTheDeviceBeforeReturning()
{
    PtyPair car;
    QVERIFY(car.isValid());
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    port.setPortOpen(true);
    port.output(QByteArray("\x85\x60", 2));
    // No event loop has run since the write: the bytes must already be in the device.
    QCOMPARE(car.read(2, std::chrono::milliseconds(0)), QByteArray("\x85\x60", 2));

    // While open, the port number and the open state hold.
    QCOMPARE(failureOf([&] { port.setCommPort(2); }), Failure::Kind::PortFailure);
    QCOMPARE(port.commPort(), 1);
    QCOMPARE(failureOf([&] { port.setPortOpen(true); }), Failure::Kind::PortFailure);
    QVERIFY(port.portOpen());
}

void TestSerial::inputIsOldestFirstAndCapped()
{
    PtyPair car;
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    port.setPortOpen(true);
    QByteArray sent;
    for (int i = 0; i < 1500; ++i)
        sent.append(char(i % 251));
    car.write(sent);
    QTRY_COMPARE(port.inBufferCount(), int(CommPort::kReceiveBufferBytes));
    QTest::qWait(100);
    QCOMPARE(port.inBufferCount(), int(CommPort::kReceiveBufferBytes));
    QCOMPARE(port.input(), sent.left(CommPort::kReceiveBufferBytes));
}

void TestSerial::busyLineFailsOneSendAndKeepsThePort_data()
{
    QTest::addColumn<bool>("flowControl"); // otherwise the car stops reading
    QTest::newRow("heldByFlowControl") << true;
    // The line still takes a few bytes here: a frame written now would sit behind 20 kB and
    // reach the car long after it was needed, or only its first byte would.
    QTest::newRow("backedUpUntilItReportsNoRoom") << false;
}

void TestSerial::busyLineFailsOneSendAndKeepsThePort()
{
    QFETCH(bool, flowControl);
    PtyPair car;
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    QSignalSpy gone(&port, &CommPort::disconnected);
    port.setPortOpen(true);
    const char filler = 'A';
    qsizetype backlog = 0;
    if (flowControl)
        car.holdConsoleOutput(true);
    else
        backlog = car.backUpConsoleOutput(filler);

    QString report;
    try {
        port.output(bytes({0x85, 0x60}));
    } catch (const Failure& f) {
        report = f.describe();
    }
    QVERIFY2(report.contains(QStringLiteral("发送超时")), qPrintable(report));
    QTest::qWait(400); // the device watch has looked at least once
    QVERIFY(port.portOpen());
    QCOMPARE(gone.count(), 0);

    // The line moves again: not one byte of the failed frame follows, and the next is whole.
    car.holdConsoleOutput(false);
    QCOMPARE(car.read(int(backlog) + 1, 500ms), QByteArray(backlog, filler));
    port.output(bytes({0x87}));
    QCOMPARE(car.read(1), bytes({0x87}));
}

void TestSerial::vanishedDeviceClosesOnce_data()
{
    QTest::addColumn<bool>("fullReceiveBuffer");
    QTest::newRow("closedFarEnd") << false;
    // Qt stops reading once its buffer is full, so it never reads the hang-up itself.
    QTest::newRow("closedFarEndWithFullReceiveBuffer") << true;
}

void TestSerial::vanishedDeviceClosesOnce()
{
    QFETCH(bool, fullReceiveBuffer);
    PtyPair car;
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    QSignalSpy gone(&port, &CommPort::disconnected);
    port.setPortOpen(true);
    if (fullReceiveBuffer) {
        car.write(QByteArray(2000, '\x3C'));
        QTRY_COMPARE(port.inBufferCount(), int(CommPort::kReceiveBufferBytes));
    }
    car.vanish();
    QTRY_COMPARE(gone.count(), 1);
    QVERIFY(!port.portOpen());
    // The dead device keeps raising errors; none of them may become another signal.
    QTest::qWait(200);
    QCOMPARE(gone.count(), 1);
    QCOMPARE(failureOf([&] { port.output("\x87"); }), Failure::Kind::PortNotOpen);
}

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
