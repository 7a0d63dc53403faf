// The number readings; the operator's text as frame bytes and waits, and the paced wait itself;
// a poll tick's bytes as caption and lamp. No window.
#include "car/frames.h"
#include "common/numbers.h"
#include "common/pacedwait.h"
#include "monitor/poll.h"
#include "monitor/tickorder.h"
#include "support/checks.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>

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
const QString kField = QStringLiteral("「数」");
} // namespace

Q_DECLARE_METATYPE(ByteReader)

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void numberReadings_data();
    void numberReadings();
    void plainText_data();
    void plainText();
    void leadingNumbers_data();
    void leadingNumbers();
    void frameByte_data();
    void frameByte();
    void waits_data();
    void waits();
    void lastsAtLeastItsLengthAndHandlesEvents_data();
    void lastsAtLeastItsLengthAndHandlesEvents();
    void nestedWaitIsNotCutShortButQuitIs();
    void tickReadings_data();
    void tickReadings();
    void lateTickNeverCoversANewerReading();
    void onlyATickBegunAfterTheFailureTakesItOff();
    void readingsTakenBeforeAnUnplugAreStale();
};

// A number read strictly, whole or not, or the failure's words.
void TestCore::numberReadings_data()
{
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read");
    QTest::newRow("explicitPlusTrailingPoint") << false << u"+5."_s << u"5"_s;
    QTest::newRow("signedExponentEitherCase") << false << u"-.5E-3"_s << u"-0.0005"_s;
    QTest::newRow("underflowIsZeroNotOverflow") << false << u"1e-400"_s << u"0"_s;
    QTest::newRow("trailingUnit") << false << u"45km"_s << mismatch(kField);
    QTest::newRow("nulInside") << false << u"12"_s + QChar(0) + u"0"_s << mismatch(kField);
    QTest::newRow("exponentWithoutDigits") << false << u"1e"_s << mismatch(kField);
    QTest::newRow("fullWidthDigits") << false << u"１２０"_s << mismatch(kField);
    QTest::newRow("beyondADouble") << false << u"-1.8e308"_s << overflow(kField);
    QTest::newRow("negativeHalfToEven") << true << u"-2.5"_s << u"-2"_s;
    QTest::newRow("halfBelowSmallestRoundsIn") << true << u"-2147483648.5"_s << u"-2147483648"_s;
    QTest::newRow("roundsUpOutOfRange") << true << u"2147483647.5"_s << overflow(kField);
    QTest::newRow("justBelowSmallest") << true << u"-2147483649"_s << overflow(kField);
}

void TestCore::numberReadings()
{
    QFETCH(bool, whole);
    QFETCH(QString, text);
    QFETCH(QString, read);
    QCOMPARE(outcome([&] {
                 return whole ? QString::number(toWholeNumber(text, kField))
                              : QString::number(toNumber(text, kField));
             }),
             read);
}

void TestCore::plainText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text"); // null: plain notation cannot show it
    QTest::newRow("lastDigitRounded") << 1.23456789012345678 << u"1.23456789012346"_s;
    QTest::newRow("smallestPlain") << 1e-15 << u"0.000000000000001"_s;
    QTest::newRow("roundsUpToTooLarge") << 999999999999999.9 << QString();
}

void TestCore::plainText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(toPlainText(value).value_or(QString()), text);
}

void TestCore::leadingNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("hex"); // -1: too large for 32 bits
    QTest::addColumn<double>("decimal");
    QTest::newRow("commaStopsBoth") << u"40,5"_s << qint64(0x40) << 40.0;
    QTest::newRow("blankAfterSign") << u"- 5"_s << qint64(0) << -5.0;
    QTest::newRow("secondPointStops") << u"1.2.3"_s << qint64(1) << 1.2;
    QTest::newRow("exponentIsHexNotDecimal") << u"1e3"_s << qint64(0x1e3) << 1.0;
    QTest::newRow("leadingZerosDoNotCount") << u"000000000FFFFFFFF"_s << qint64(0xFFFFFFFF) << 0.0;
    QTest::newRow("longRunIsTooLargeNotWrapped") << u"100000000"_s << qint64(-1) << 1e8;
    QTest::newRow("hugeNegativeIsInfinite")
        << u"-"_s + QString(400, u'9') << qint64(0) << -HUGE_VAL;
    QTest::newRow("tinyIsZero") << u"0."_s + QString(400, u'0') + u"1"_s << qint64(0) << 0.0;
}

void TestCore::leadingNumbers()
{
    QFETCH(QString, text);
    QFETCH(qint64, hex);
    QFETCH(double, decimal);
    QCOMPARE(readLeadingHex(text), hex < 0 ? std::nullopt : std::optional<quint32>(quint32(hex)));
    QCOMPARE(readLeadingDecimal(text), decimal);
}

// The byte a frame carries from the operator's text, or the failure's words.
void TestCore::frameByte_data()
{
    QTest::addColumn<ByteReader>("read");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("failure"); // empty: the byte goes out
    // The decimal digits of half the speed as two 4-bit digits.
    QTest::newRow("oddSpeedRoundsDown") << &speedByte << u"1"_s << 0x00 << QString();
    QTest::newRow("fractionOfHalfDropped") << &speedByte << u"99"_s << 0x49 << QString();
    QTest::newRow("fractionalSpeed") << &speedByte << u"120.9"_s << 0x60 << QString();
    QTest::newRow("fastestSpeed") << &speedByte << u"199"_s << 0x99 << QString();
    QTest::newRow("exponent") << &speedByte << u"1e2"_s << 0x50 << QString();
    QTest::newRow("blanksAround") << &speedByte << u"  120\t"_s << 0x60 << QString();
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

void TestCore::lastsAtLeastItsLengthAndHandlesEvents_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("ticksAtLeast"); // of a 5 ms timer running through the wait
    QTest::newRow("zeroStillHandlesWhatIsPending") << 0 << 0;
    QTest::newRow("negativeStillHandlesWhatIsPending") << -20 << 0;
    QTest::newRow("keepsHandlingEventsAllThrough") << 100 << 2;
}

void TestCore::lastsAtLeastItsLengthAndHandlesEvents()
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

void TestCore::nestedWaitIsNotCutShortButQuitIs()
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

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
