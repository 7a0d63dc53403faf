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

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {
const auto mismatch = [](const QString& f) { return Failure::typeMismatch(f).describe(); };
const auto overflow = [](const QString& f) { return Failure::overflow(f).describe(); };
const auto megabyteOf = [](char c) { return QString(1 << 20, QLatin1Char(c)); };
// What the operator's text becomes: a frame's byte, or a turn's or the sampling's milliseconds.
using Reader = qint64 (*)(QStringView);
const Reader speed = [](QStringView text) -> qint64 { return speedByte(text); };
const Reader raw = [](QStringView text) -> qint64 { return rawByte(text); };
const Reader turn = [](QStringView text) -> qint64 { return turnTime(text); };
const Reader interval = [](QStringView text) -> qint64 { return samplingInterval(text); };
const QString kField = QStringLiteral("「数」");
} // namespace

Q_DECLARE_METATYPE(Reader)

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    // A number read strictly, whole or not, or the failure's words.
    void numberReadings_data()
    {
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("failure"); // empty: it reads
        QTest::newRow("explicitPlusTrailingPoint") << false << u"+5."_s << 5.0 << QString();
        QTest::newRow("signedExponentEitherCase") << false << u"-.5E-3"_s << -0.0005 << QString();
        QTest::newRow("underflowIsZeroNotOverflow") << false << u"1e-400"_s << 0.0 << QString();
        QTest::newRow("trailingUnit") << false << u"45km"_s << 0.0 << mismatch(kField);
        QTest::newRow("nulInside")
            << false << u"12"_s + QChar(0) + u"0"_s << 0.0 << mismatch(kField);
        QTest::newRow("fullWidthDigits") << false << u"１２０"_s << 0.0 << mismatch(kField);
        QTest::newRow("beyondADouble") << false << u"-1.8e308"_s << 0.0 << overflow(kField);
        QTest::newRow("negativeHalfToEven") << true << u"-2.5"_s << -2.0 << QString();
        QTest::newRow("halfBelowSmallestRoundsIn")
            << true << u"-2147483648.5"_s << -2147483648.0 << QString();
        QTest::newRow("roundsUpOutOfRange") << true << u"2147483647.5"_s << 0.0 << overflow(kField);
        QTest::newRow("justBelowSmallest") << true << u"-2147483649"_s << 0.0 << overflow(kField);
    }

    void numberReadings()
    {
        QFETCH(bool, whole);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, failure);
        double read = 0;
        QCOMPARE(failureOf(
                     [&] { read = whole ? toWholeNumber(text, kField) : toNumber(text, kField); }),
                 failure);
        QCOMPARE(read, value);
    }

    void operatorText_data()
    {
        QTest::addColumn<Reader>("read");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("failure"); // empty: the value goes out
        // The decimal digits of half the speed as two 4-bit digits.
        QTest::newRow("fractionOfHalfDropped") << speed << u"99"_s << 0x49 << QString();
        QTest::newRow("fastestSpeed") << speed << u"199"_s << 0x99 << QString();
        QTest::newRow("blanksAround") << speed << u"  120\t"_s << 0x60 << QString();
        QTest::newRow("negativeSendsZero") << speed << u"-20"_s << 0x00 << QString();
        QTest::newRow("hugeNegativeSendsZero") << speed << u"-2e300"_s << 0x00 << QString();
        QTest::newRow("tinySendsZero") << speed << u"1e-300"_s << 0x00 << QString();
        // Half of 100 or more is too fast, even where plain notation fails: "1E+15" is never 0x1E.
        // A half is read to 15 digits: 99.999999999999986 is 100, not 0x99.
        for (const QString& text :
             {u"200"_s, u"199.99999999999997"_s, u"1999999999999998"_s, u"2e15"_s, u"1e999"_s})
            QTest::addRow("tooFast %s", qPrintable(text))
                << speed << text << 0 << overflow(kSpeedField);
        for (const QString& text : {u""_s, u"nan"_s, u"0x10"_s, u"&H10"_s, u"🚗"_s, megabyteOf('z')})
            QTest::addRow("notANumber %s", qPrintable(text.left(8).toHtmlEscaped()))
                << speed << text << 0 << mismatch(kSpeedField);
        QTest::newRow("lowerCaseHex") << raw << u"ff"_s << 0xFF << QString();
        QTest::newRow("stopsAtNonHexDigit") << raw << u"7G"_s << 0x07 << QString();
        QTest::newRow("noDigitIsZero") << raw << u"G1"_s << 0x00 << QString();
        QTest::newRow("hexPrefixStopsAtX") << raw << u"0x10"_s << 0x00 << QString();
        QTest::newRow("blanksSkippedAnywhere") << raw << u" 3\t0\n"_s << 0x30 << QString();
        QTest::newRow("nulStops") << raw << u"12"_s + QChar(0) + u"0"_s << 0x12 << QString();
        QTest::newRow("leadingZerosDoNotCount") << raw << u"000000000FF"_s << 0xFF << QString();
        // Too large is refused, never wrapped round to a byte that would go out.
        for (const QString& text : {u"100"_s, QString(32, u'F'), u"100000010"_s, megabyteOf('9')})
            QTest::addRow("tooLarge %s", qPrintable(text.left(12)))
                << raw << text << 0 << overflow(kCommandField);
        // A turn holds its frame that long; the sampling interval reads the same way.
        QTest::newRow("turnNegativeWaitsNot") << turn << u"-20"_s << -20 << QString();
        QTest::newRow("turnHalfRoundsDownToTheLimit") << turn << u"10000.5"_s << 10000 << QString();
        QTest::newRow("turnJustOverTheLimit")
            << turn << u"10000.6"_s << 0 << u"「转向时间」不能超过 10000 毫秒"_s;
        QTest::newRow("turnBeyondInt32")
            << turn << u"2147483648"_s << 0 << overflow(kTurnTimeField);
        QTest::newRow("intervalOverTenSecondsRefused")
            << interval << u"10001"_s << 0 << u"「采样间隔」不能超过 10000 毫秒"_s;
        QTest::newRow("intervalLetterO") << interval << u"1O"_s << 0 << mismatch(u"「采样间隔」"_s);
    }

    void operatorText()
    {
        QFETCH(Reader, read);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, failure);
        qint64 got = 0;
        QCOMPARE(failureOf([&] { got = read(text); }), failure);
        QCOMPARE(got, qint64(value));
        if (read == turn && failure.isEmpty())
            QCOMPARE(turnWait(value).count(), qMax(value, 0));
    }

    void pacedWaitOfZeroHandlesWhatIsPending()
    {
        bool queuedRan = false;
        QMetaObject::invokeMethod(
            this, [&] { queuedRan = true; }, Qt::QueuedConnection);
        QVERIFY(PacedWait(0) && queuedRan);
    }

    void pacedWaitLastsItsLengthHandlingEventsAllThrough()
    {
        // A handler run inside a 20 ms wait waits 80 ms itself, with a timer ticking all through.
        QTimer timer;
        QSignalSpy ticks(&timer, &QTimer::timeout);
        timer.start(5);
        qint64 innerNs = -1;
        QTimer::singleShot(5, [&] {
            QElapsedTimer clock;
            clock.start();
            PacedWait(80), innerNs = clock.nsecsElapsed();
        });
        QVERIFY(PacedWait(20));
        QVERIFY2(innerNs >= 80'000'000, qPrintable(QString::number(innerNs)));
        QVERIFY(ticks.count() >= 2);
    }

    void pacedWaitToldToQuitGivesUpAndSaysSo()
    {
        // Re-entering a loop that returns at once, it would never let exec() return.
        bool completed = true;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(20, [] { QCoreApplication::exit(0); });
            completed = PacedWait(60000);
        });
        QVERIFY(QCoreApplication::exec() == 0 && !completed);
    }

    void tickReadings_data()
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
        QTest::newRow("negativeAlarmBlankAfterSign")
            << bytes({0x00}) << u"- 5"_s << u"00R/Min"_s << true;
        QTest::newRow("exponentEndsAlarm") << bytes({0x02}) << u"1e3"_s << u"02R/Min"_s << true;
        QTest::newRow("secondPointEndsAlarm")
            << bytes({0x00}) << u"-1.5.9"_s << u"00R/Min"_s << true;
        QTest::newRow("hexAlarmIsZero") << bytes({0x01}) << u"A0"_s << u"01R/Min"_s << true;
        QTest::newRow("megabyteOfDigitsNeverReached")
            << bytes({0xFF}) << megabyteOf('9') << u"255R/Min"_s << false;
        QTest::newRow("nulEndsAlarm")
            << bytes({0x0D}) << u"12"_s + QChar(0) + u"0"_s << u"13R/Min"_s << true;
    }

    void tickReadings()
    {
        QFETCH(QByteArray, received);
        QFETCH(QString, alarm);
        QFETCH(QString, caption);
        QFETCH(bool, lit);
        const std::optional<quint8> reading = readingOf(received);
        QCOMPARE(reading ? speedCaption(*reading) : QString(), caption);
        QCOMPARE(reading && isAlarm(*reading, alarm), lit);
    }

    void lateTickNeverCoversANewerReading()
    {
        TickOrder order;
        const auto older = order.begin();
        const auto newer = order.begin(); // runs inside the older one's wait
        QVERIFY(order.show(newer));
        QVERIFY(!order.show(older));
        QVERIFY(order.show(order.begin()));
    }

    void onlyATickBegunAfterTheFailureTakesItOff()
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

    void readingsTakenBeforeAnUnplugAreStale()
    {
        TickOrder order;
        const auto inWait = order.begin();
        order.unplugged();
        QVERIFY(order.isStale(inWait));
        QVERIFY(!order.isStale(order.begin()));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
