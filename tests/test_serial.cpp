#include "common/failure.h"
#include "serial/commport.h"
#include "serial/linesettings.h"
#include "serial/portmap.h"
#include "support/ptypair.h"

#include <QTest>

using namespace smartcar;

Q_DECLARE_METATYPE(std::optional<smartcar::LineSettings>)

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
    void settingsParse_data();
    void settingsParse();
    void portListAndDevices();
    void missingDeviceFailsOpenAndStaysClosed();
    void outputReachesTheDeviceBeforeReturning();
    void portNumberIsFixedWhileOpen();
};

void TestSerial::settingsParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("theConsolesOwn") << "9600,n,8,1" << true << 9600 << int(QSerialPort::NoParity)
                                    << 8 << int(QSerialPort::OneStop);
    QTest::newRow("upperCaseParityAndBlanks")
        << " 19200 , E , 7 , 2 " << true << 19200 << int(QSerialPort::EvenParity) << 7
        << int(QSerialPort::TwoStop);
    QTest::newRow("tooFewFields") << "9600,n,8" << false << 0 << 0 << 0 << 0;
    QTest::newRow("unknownParity") << "9600,x,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("threeStopBits") << "9600,n,8,3" << false << 0 << 0 << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0;
}

void TestSerial::settingsParse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto s = parseLineSettings(text);
    QCOMPARE(s.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QCOMPARE(s->baudRate, baud);
    QCOMPARE(int(s->parity), parity);
    QCOMPARE(int(s->dataBits), dataBits);
    QCOMPARE(int(s->stopBits), stopBits);
}

void TestSerial::portListAndDevices()
{
    const QStringList texts = portListTexts();
    QCOMPARE(texts.size(), 20);
    QCOMPARE(texts.first(), QStringLiteral("COM1"));
    QCOMPARE(texts.at(2), QStringLiteral("COM3(USB)"));
    QCOMPARE(texts.at(3), QStringLiteral("COM4(USB)"));
    QCOMPARE(texts.last(), QStringLiteral("COM20"));

    QVERIFY(isOpenableIndex(0));
    QVERIFY(isOpenableIndex(16));
    QVERIFY(!isOpenableIndex(17));
    QVERIFY(!isOpenableIndex(19));
    QVERIFY(!isOpenableIndex(-1));

    qunsetenv("SMARTCAR_COM7");
    QCOMPARE(deviceForPort(7), QStringLiteral("/dev/ttyS6"));
    qputenv("SMARTCAR_COM7", "/dev/ttyUSB0");
    QCOMPARE(deviceForPort(7), QStringLiteral("/dev/ttyUSB0"));
    qputenv("SMARTCAR_COM7", "");
    QCOMPARE(deviceForPort(7), QStringLiteral("/dev/ttyS6"));
    qunsetenv("SMARTCAR_COM7");
}

void TestSerial::missingDeviceFailsOpenAndStaysClosed()
{
    qputenv("SMARTCAR_COM9", "/nonexistent/device");
    CommPort port;
    port.setCommPort(9);
    port.setSettings(QStringLiteral("9600,n,8,1"));
    QCOMPARE(failureOf([&] { port.setPortOpen(true); }), Failure::Kind::PortFailure);
    QVERIFY(!port.portOpen());
    QCOMPARE(port.commPort(), 9);
    QCOMPARE(failureOf([&] { port.setSettings(QStringLiteral("fast")); }),
             Failure::Kind::PortFailure);
    qunsetenv("SMARTCAR_COM9");
}

void TestSerial::outputReachesTheDeviceBeforeReturning()
{
    PtyPair car;
    QVERIFY(car.isValid());
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    port.setPortOpen(true);
    QVERIFY(port.portOpen());
    port.output(QByteArray("\x85\x60", 2));
    // No event loop has run since the write: the bytes must already be in the device.
    QCOMPARE(car.read(2, std::chrono::milliseconds(0)), QByteArray("\x85\x60", 2));
    port.setPortOpen(false);
    QVERIFY(!port.portOpen());
}

void TestSerial::portNumberIsFixedWhileOpen()
{
    PtyPair car;
    qputenv("SMARTCAR_COM1", car.slavePath().toLocal8Bit());
    CommPort port;
    port.setPortOpen(true);
    QCOMPARE(failureOf([&] { port.setCommPort(2); }), Failure::Kind::PortFailure);
    QCOMPARE(port.commPort(), 1);
    QCOMPARE(failureOf([&] { port.setPortOpen(true); }), Failure::Kind::PortFailure);
    QVERIFY(port.portOpen());
}

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
