// The operator's text as frame bytes and waits; a poll tick's bytes as caption and lamp. No window.
#include "car/frames.h"
#include "monitor/poll.h"
#include "monitor/tickorder.h"
#include "support/checks.h"

#include <QTest>

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {
QString mismatch(const QString& field)
{
    return Failure::typeMismatch(field).describe();
}
QString overflow(const QString& field)
{
    return Failure::overflow(field).describe();
}
QString megabyteOf(char c)
{
    return QString(1 << 20, QLatin1Char(c));
}
using ByteReader = quint8 (*)(QStringView);
} // namespace

Q_DECLARE_METATYPE(ByteReader)

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void frameByte_data();
    void frameByte();
    void waits_data();
    void waits();
    void tickReadings_data();
    void tickReadings();
    void lateTickNeverCoversANewerReading();
    void onlyATickBegunAfterTheFailureTakesItOff();
    void readingsTakenBeforeAnUnplugAreStale();
};

// The byte a frame carries from the operator's text, or the failure's words.
void TestCore::frameByte_data()
{
    QTest::addColumn<ByteReader>("read");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("failure"); // empty: the byte goes out
    // The decimal digits of half the speed as two 4-bit digits.
    QTest::newRow("oddSpeedRoundsDown") << &speedByte << u"1"_s << 0x00 << QString();
    QTest::newRow("halfOfTwoIsOne") << &speedByte << u"2"_s << 0x01 << QString();
    QTest::newRow("fractionOfHalfDropped") << &speedByte << u"99"_s << 0x49 << QString();
    QTest::newRow("fractionalSpeed") << &speedByte << u"120.9"_s << 0x60 << QString();
    QTest::newRow("fastestSpeed") << &speedByte << u"199"_s << 0x99 << QString();
    QTest::newRow("exponent") << &speedByte << u"1e2"_s << 0x50 << QString();
    QTest::newRow("blanksAround") << &speedByte << u"  120\t"_s << 0x60 << QString();
    QTest::newRow("negativeZero") << &speedByte << u"-0"_s << 0x00 << QString();
    QTest::newRow("negativeSendsZero") << &speedByte << u"-20"_s << 0x00 << QString();
    QTest::newRow("hugeNegativeSendsZero") << &speedByte << u"-2e300"_s << 0x00 << QString();
    QTest::newRow("tinySendsZero") << &speedByte << u"1e-300"_s << 0x00 << QString();
    // Half of 100 or more is too fast, even where plain notation fails: "1E+15" is never 0x1E.
    for (const QString& text : {u"200"_s, u"1999999999999998"_s, u"2e15"_s, u"1e999"_s})
        QTest::addRow("tooFast %s", qPrintable(text))
            << &speedByte << text << 0 << overflow(kSpeedField);
    for (const QString& text : {u""_s, u"nan"_s, u"0x10"_s, u"&H10"_s, u"🚗"_s, megabyteOf('z')})
        QTest::addRow("notANumber %s", qPrintable(text.left(8).toHtmlEscaped()))
            << &speedByte << text << 0 << mismatch(kSpeedField);
    QTest::newRow("lowerCaseHex") << &rawByte << u"ff"_s << 0xFF << QString();
    QTest::newRow("leadingZeroAllowed") << &rawByte << u"0FF"_s << 0xFF << QString();
    QTest::newRow("stopsAtNonHexDigit") << &rawByte << u"7G"_s << 0x07 << QString();
    QTest::newRow("noDigitIsZero") << &rawByte << u"G1"_s << 0x00 << QString();
    QTest::newRow("hexPrefixStopsAtX") << &rawByte << u"0x10"_s << 0x00 << QString();
    QTest::newRow("blanksSkippedAnywhere") << &rawByte << u" 3\t0\n"_s << 0x30 << QString();
    QTest::newRow("emptyIsZero") << &rawByte << QString() << 0x00 << QString();
    QTest::newRow("nulStops") << &rawByte << u"12"_s + QChar(0) + u"0"_s << 0x12 << QString();
    QTest::newRow("megabyteOfLetters") << &rawByte << megabyteOf('z') << 0x00 << QString();
    // Too large is refused, never wrapped round to a byte that would go out.
    for (const QString& text : {u"100"_s, QString(32, u'F'), u"100000010"_s, megabyteOf('9')})
        QTest::addRow("tooLarge %s", qPrintable(text.left(12)))
            << &rawByte << text << 0 << overflow(kCommandField);
}

void TestCore::frameByte()
{
    QFETCH(ByteReader, read);
    QFETCH(QString, text);
    QFETCH(int, byte);
    QFETCH(QString, failure);
    QCOMPARE(outcome([&] { return QString::number(read(text)); }),
             failure.isEmpty() ? QString::number(byte) : failure);
}

// A turn's time and how long it holds the frame; the sampling interval reads the same way.
void TestCore::waits_data()
{
    QTest::addColumn<bool>("turn"); // otherwise the sampling interval
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("failure");
    QTest::newRow("turnNegativeWaitsNot") << true << u"-20"_s << -20 << QString();
    QTest::newRow("turnHalfRoundsDownToTheLimit") << true << u"10000.5"_s << 10000 << QString();
    QTest::newRow("turnJustOverTheLimit")
        << true << u"10000.6"_s << 0 << u"「转向时间」不能超过 10000 毫秒"_s;
    QTest::newRow("turnLetters") << true << u"abc"_s << 0 << mismatch(kTurnTimeField);
    QTest::newRow("turnBeyondInt32") << true << u"2147483648"_s << 0 << overflow(kTurnTimeField);
    QTest::newRow("intervalHalfGoesToEven") << false << u"12.5"_s << 12 << QString();
    QTest::newRow("intervalNegativeStands") << false << u"-20"_s << -20 << QString();
    QTest::newRow("intervalOverTenSecondsRefused")
        << false << u"10001"_s << 0 << u"「采样间隔」不能超过 10000 毫秒"_s;
    QTest::newRow("intervalLetterO") << false << u"1O"_s << 0 << mismatch(u"「采样间隔」"_s);
}

void TestCore::waits()
{
    QFETCH(bool, turn);
    QFETCH(QString, text);
    QFETCH(int, ms);
    QFETCH(QString, failure);
    QCOMPARE(outcome(
                 [&] { return QString::number(turn ? turnTime(text) : samplingInterval(text)); }),
             failure.isEmpty() ? QString::number(ms) : failure);
    if (turn && failure.isEmpty())
        QCOMPARE(turnWait(ms).count(), qMax(ms, 0));
}

void TestCore::tickReadings_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("caption"); // empty: no reading
    QTest::addColumn<bool>("lit");
    QTest::newRow("nothingReadNoReading") << QByteArray() << u"-5"_s << QString() << false;
    QTest::newRow("twoBytesNoReading") << bytes({0xFF, 0xFF}) << u"40"_s << QString() << false;
    QTest::newRow("equalSpeedStaysDark") << bytes({0x28}) << u"40"_s << u"40R/Min"_s << false;
    QTest::newRow("oneAboveLights") << bytes({0x29}) << u"40"_s << u"41R/Min"_s << true;
    QTest::newRow("hexDigitsBelowAlarmTextStillLight")
        << bytes({0x3C}) << u"40"_s << u"60R/Min"_s << true;
    QTest::newRow("textAboveButSpeedBelowStaysDark")
        << bytes({0x20}) << u"100"_s << u"32R/Min"_s << false;
    QTest::newRow("fractionalAlarm") << bytes({0x3C}) << u"59.9"_s << u"60R/Min"_s << true;
    QTest::newRow("negativeAlarmLightsZero") << bytes({0x00}) << u"-5"_s << u"00R/Min"_s << true;
    QTest::newRow("hexAlarmIsZero") << bytes({0x01}) << u"A0"_s << u"01R/Min"_s << true;
    QTest::newRow("megabyteOfDigitsNeverReached")
        << bytes({0xFF}) << megabyteOf('9') << u"255R/Min"_s << false;
    QTest::newRow("nulEndsAlarm") << bytes({0x0D}) << u"12"_s + QChar(0) + u"0"_s << u"13R/Min"_s
                                  << true;
}

void TestCore::tickReadings()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, alarm);
    QFETCH(QString, caption);
    QFETCH(bool, lit);
    const std::optional<quint8> reading = readingOf(received);
    QCOMPARE(reading ? speedCaption(*reading) : QString(), caption);
    QCOMPARE(reading && isAlarm(*reading, alarm), lit);
}

void TestCore::lateTickNeverCoversANewerReading()
{
    TickOrder order;
    const auto older = order.begin();
    const auto newer = order.begin(); // runs inside the older one's wait
    QVERIFY(order.show(newer));
    QVERIFY(!order.show(older));
    QVERIFY(order.show(order.begin()));
}

void TestCore::onlyATickBegunAfterTheFailureTakesItOff()
{
    TickOrder order;
    const auto before = order.begin();
    order.failed(order.begin());
    QVERIFY(!order.succeeded(before)); // its success says nothing about the cause
    const auto after = order.begin();
    QVERIFY(order.succeeded(after));
    QVERIFY(!order.succeeded(order.begin())); // nothing left to take off
    order.failed(order.begin());
    order.forgetFailure();
    QVERIFY(!order.succeeded(order.begin())); // the status already moved on
}

void TestCore::readingsTakenBeforeAnUnplugAreStale()
{
    TickOrder order;
    const auto inWait = order.begin();
    order.unplugged();
    QVERIFY(order.isStale(inWait));
    QVERIFY(!order.isStale(order.begin()));
}

QTEST_APPLESS_MAIN(TestCore)
#include "test_core.moc"
