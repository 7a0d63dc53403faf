// The serial port service against a pseudo-terminal standing in for the car.
#include "common/failure.h"
#include "serial/commport.h"
#include "support/ptypair.h"

#include <QSignalSpy>
#include <QTest>

using namespace smartcar;

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

void TestSerial::vanishedDeviceClosesOnce()
{
    PtyPair car;
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    QSignalSpy gone(&port, &CommPort::disconnected);
    port.setPortOpen(true);
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
