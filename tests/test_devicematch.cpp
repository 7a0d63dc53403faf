// Which present device is the one that vanished: the rule a reconnect relies on never to open
// someone else's adapter.
#include "serial/devicematch.h"

#include <QTest>

using namespace smartcar;
using namespace Qt::StringLiterals;
using Outcome = DeviceMatch::Outcome;

Q_DECLARE_METATYPE(DeviceIdentity)
Q_DECLARE_METATYPE(Outcome)

namespace {
constexpr quint16 kFtdi = 0x0403, kFt232 = 0x6001, kWch = 0x1a86, kCh340 = 0x7523;

DeviceIdentity usb(const QString& path, quint16 vendor, quint16 product, const QString& serial)
{
    return {path, vendor, product, serial};
}

// A Bluetooth link, a pseudo-terminal behind a link: nothing known but the path.
DeviceIdentity bare(const QString& path)
{
    return {path, {}, {}, {}};
}
} // namespace

class TestDeviceMatch : public QObject
{
    Q_OBJECT
private slots:
    void sameDevice_data();
    void sameDevice();
    void bareTerminalNumbersAreNeverLookedFor();
};

void TestDeviceMatch::sameDevice_data()
{
    QTest::addColumn<DeviceIdentity>("remembered");
    QTest::addColumn<QList<DeviceIdentity>>("present");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<qsizetype>("index");

    const auto ftdi = [](const QString& path, const QString& serial) {
        return usb(path, kFtdi, kFt232, serial);
    };
    const auto ch340 = [](const QString& path) { return usb(path, kWch, kCh340, QString()); };
    const QString usb0 = u"/dev/ttyUSB0"_s, usb1 = u"/dev/ttyUSB1"_s, link = u"/tmp/car"_s;

    QTest::newRow("sameSerialReturningOnAnotherPath")
        << ftdi(usb0, u"A50285BI"_s) << QList{ftdi(usb0, u"B1"_s), ftdi(usb1, u"A50285BI"_s)}
        << Outcome::Found << qsizetype(1);
    QTest::newRow("otherSerialAtTheSamePathIsSomeoneElses")
        << ftdi(usb0, u"A50285BI"_s) << QList{ftdi(usb0, u"B1"_s)} << Outcome::None
        << qsizetype(-1);
    QTest::newRow("vendorChangedBehindTheSameSerial")
        << ftdi(usb0, u"A50285BI"_s) << QList{usb(usb0, kWch, kFt232, u"A50285BI"_s)}
        << Outcome::None << qsizetype(-1);
    QTest::newRow("twoAdaptersWithTheRememberedSerialOpenNeither")
        << ftdi(usb0, u"A50285BI"_s)
        << QList{ftdi(usb1, u"A50285BI"_s), ftdi(u"/dev/ttyUSB2"_s, u"A50285BI"_s)}
        << Outcome::Ambiguous << qsizetype(-1);
    QTest::newRow("adapterWithoutSerialBackAtItsPath")
        << ch340(usb0) << QList{ch340(usb1), ch340(usb0)} << Outcome::Found << qsizetype(1);
    QTest::newRow("adapterWithoutSerialAtAnotherPathIsNeverTaken")
        << ch340(usb0) << QList{ch340(usb1)} << Outcome::None << qsizetype(-1);
    QTest::newRow("vendorChangedAtTheSamePath")
        << ch340(usb0) << QList{usb(usb0, kFtdi, kFt232, QString())} << Outcome::None
        << qsizetype(-1);
    QTest::newRow("serialAppearedAtASerialLessPathIsAnotherAdapter")
        << ch340(usb0) << QList{usb(usb0, kWch, kCh340, u"X9"_s)} << Outcome::None << qsizetype(-1);
    QTest::newRow("zeroSerialIsNoSerialSoOnlyThePathCounts")
        << usb(usb0, kWch, kCh340, u"0"_s)
        << QList{usb(usb1, kWch, kCh340, u"0"_s), usb(usb0, kWch, kCh340, QString())}
        << Outcome::Found << qsizetype(1);
    QTest::newRow("linkWithNothingKnownBackAtItsPath")
        << bare(link) << QList{ftdi(usb0, u"A50285BI"_s), bare(link)} << Outcome::Found
        << qsizetype(1);
    QTest::newRow("linkNowLeadingToAUsbAdapter")
        << bare(link) << QList{usb(link, kWch, kCh340, QString())} << Outcome::None
        << qsizetype(-1);
    QTest::newRow("nothingPresent")
        << ftdi(usb0, u"A50285BI"_s) << QList<DeviceIdentity>{} << Outcome::None << qsizetype(-1);
}

void TestDeviceMatch::sameDevice()
{
    QFETCH(DeviceIdentity, remembered);
    QFETCH(QList<DeviceIdentity>, present);
    QFETCH(Outcome, outcome);
    QFETCH(qsizetype, index);
    const DeviceMatch match = findSameDevice(remembered, present);
    QCOMPARE(match.outcome, outcome);
    QCOMPARE(match.index, index);
}

void TestDeviceMatch::bareTerminalNumbersAreNeverLookedFor()
{
    QVERIFY(!mayReconnect(bare(u"/dev/pts/3"_s)));
    QVERIFY(mayReconnect(bare(u"/tmp/car"_s)));
    QVERIFY(mayReconnect(usb(u"/dev/ttyUSB0"_s, kWch, kCh340, QString())));
    QVERIFY(!mayReconnect(bare(QString())));
}

QTEST_APPLESS_MAIN(TestDeviceMatch)
#include "test_devicematch.moc"
