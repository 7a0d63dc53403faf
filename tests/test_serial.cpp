// The serial port service against a pseudo-terminal standing in for the car.
#include "common/failure.h"
#include "ptypair.h"
#include "serial/commport.h"
#include "support/bytes.h"

#include <QSignalSpy>
#include <QTest>

#include <optional>

using namespace smartcar;
using namespace std::chrono_literals;

namespace {

// The failure `step` ends with, if any.
std::optional<Failure> failureOf(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Failure& f) {
        return f;
    }
    return std::nullopt;
}

// The service on COM1, open on a car's line, and each time it tells that the device is gone.
struct OpenLine
{
    PtyPair car;
    CommPort port;
    QSignalSpy gone{&port, &CommPort::disconnected};
    OpenLine() { qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit()), port.setPortOpen(true); }
};

} // namespace

class TestSerial : public QObject
{
    Q_OBJECT
private slots:
    void lineCarriesBothWays();
    void busyLineFailsOneSendAndKeepsThePort_data();
    void busyLineFailsOneSendAndKeepsThePort();
    void vanishedDeviceClosesOnce_data();
    void vanishedDeviceClosesOnce();
};

void TestSerial::lineCarriesBothWays()
{
    OpenLine line;
    auto& [car, port, gone] = line;
    port.output(bytes({0x85, 0x60}));
    // No event loop has run since the write: the bytes must already be in the device.
    QCOMPARE(car.read(2, 0ms), bytes({0x85, 0x60}));
    // While open, the port number and the open state hold.
    QCOMPARE(failureOf([&] { port.setCommPort(2); }).value().kind(), Failure::Kind::PortFailure);
    QCOMPARE(failureOf([&] { port.setPortOpen(true); }).value().kind(), Failure::Kind::PortFailure);
    QVERIFY(port.commPort() == 1 && port.portOpen());

    // What comes in is kept oldest first, up to the receive buffer's size.
    QByteArray sent;
    for (int i = 0; i < 1500; ++i)
        sent.append(char(i % 251));
    car.write(sent);
    QTRY_COMPARE(port.inBufferCount(), int(CommPort::kReceiveBufferBytes));
    QTest::qWait(100);
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
    OpenLine line;
    auto& [car, port, gone] = line;
    car.holdConsoleOutput(flowControl);
    const qsizetype backlog = flowControl ? 0 : car.backUpConsoleOutput('A');
    const auto failure = failureOf([&] { port.output(bytes({0x85, 0x60})); });
    const QString report = failure ? failure->describe() : QString();
    QVERIFY2(report.contains(QStringLiteral("发送超时")), qPrintable(report));
    QTest::qWait(400); // the device watch has looked at least once
    QVERIFY(port.portOpen() && gone.isEmpty());

    // The line moves again: not one byte of the failed frame follows, and the next is whole.
    car.holdConsoleOutput(false);
    QCOMPARE(car.read(int(backlog) + 1, 500ms), QByteArray(backlog, 'A'));
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
    OpenLine line;
    auto& [car, port, gone] = line;
    car.write(QByteArray(fullReceiveBuffer ? 2000 : 0, '\x3C'));
    QTRY_COMPARE(port.inBufferCount(), fullReceiveBuffer ? int(CommPort::kReceiveBufferBytes) : 0);
    car.vanish();
    QTRY_COMPARE(gone.count(), 1);
    // The dead device keeps raising errors; none of them may become another signal.
    QTest::qWait(200);
    QVERIFY(!port.portOpen() && gone.count() == 1);
    QCOMPARE(failureOf([&] { port.output("\x87"); }).value().kind(), Failure::Kind::PortNotOpen);
}

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
