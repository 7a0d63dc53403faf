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

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
const auto mismatch = [](const QString& f) { return Failure::typeMismatch(f).describe(); };
const auto overflow = [](const QString& f) { return Failure::overflow(f).describe(); };
const auto megabyteOf = [](char c) { return QString(1 << 20, QLatin1Char(c)); };
const QString kField = QStringLiteral("「数」");
// What the operator's text becomes: a number read strictly, whole or not; a frame's byte; a
// turn's or the sampling's milliseconds.
using Reader = double (*)(QStringView);
const Reader number = [](QStringView text) { return toNumber(text, kField); };
const Reader whole = [](QStringView text) -> double { return toWholeNumber(text, kField); };
const Reader speed = [](QStringView text) -> double { return speedByte(text); };
const Reader raw = [](QStringView text) -> double { return rawByte(text); };
const Reader turn = [](QStringView text) -> double { return turnTime(text); };
const Reader interval = [](QStringView text) -> double { return samplingInterval(text); };
// A row whose text reads as `value`, or (`failure` not empty) fails with those words.
void row(const QString& name, Reader read, const QString& text, double value,
         const QString& failure = {})
{
    QTest::newRow(qPrintable(name)) << read << text << value << failure;
}
} // namespace

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void operatorText_data()
    {
        QTest::addColumn<Reader>("read");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("failure"); // empty: it reads
        row(u"explicitPlusTrailingPoint"_s, number, u"+5."_s, 5);
        row(u"signedExponentEitherCase"_s, number, u"-.5E-3"_s, -0.0005);
        row(u"underflowIsZeroNotOverflow"_s, number, u"1e-400"_s, 0);
        row(u"nulInside"_s, number, u"12"_s + QChar(0) + u"0"_s, 0, mismatch(kField));
        row(u"beyondADouble"_s, number, u"-1.8e308"_s, 0, overflow(kField));
        row(u"negativeHalfToEven"_s, whole, u"-2.5"_s, -2);
        row(u"halfBelowSmallestRoundsIn"_s, whole, u"-2147483648.5"_s, -2147483648.0);
        row(u"roundsUpOutOfRange"_s, whole, u"2147483647.5"_s, 0, overflow(kField));
        row(u"justBelowSmallest"_s, whole, u"-2147483649"_s, 0, overflow(kField));
        // The decimal digits of half the speed as two 4-bit digits.
        row(u"fractionOfHalfDropped"_s, speed, u"99"_s, 0x49);
        row(u"fastestSpeed"_s, speed, u"199"_s, 0x99);
        row(u"blanksAround"_s, speed, u"  120\t"_s, 0x60);
        row(u"negativeSendsZero"_s, speed, u"-20"_s, 0x00);
        row(u"hugeNegativeSendsZero"_s, speed, u"-2e300"_s, 0x00);
        row(u"tinySendsZero"_s, speed, u"1e-300"_s, 0x00);
        // Half of 100 or more is too fast, even where plain notation fails: "1E+15" is never 0x1E.
        // A half is read to 15 digits: 99.999999999999986 is 100, not 0x99.
        for (const QString& text :
             {u"200"_s, u"199.99999999999997"_s, u"1999999999999998"_s, u"2e15"_s, u"1e999"_s})
            row(u"tooFast "_s + text, speed, text, 0, overflow(kSpeedField));
        for (const QString& text : {u""_s, u"nan"_s, u"0x10"_s, u"&H10"_s, u"45km"_s, u"１２０"_s,
                                    u"🚗"_s, megabyteOf('z')})
            row(u"notANumber "_s + text.left(8).toHtmlEscaped(), speed, text, 0,
                mismatch(kSpeedField));
        row(u"lowerCaseHex"_s, raw, u"ff"_s, 0xFF);
        row(u"stopsAtNonHexDigit"_s, raw, u"7G"_s, 0x07);
        row(u"noDigitIsZero"_s, raw, u"G1"_s, 0x00);
        row(u"hexPrefixStopsAtX"_s, raw, u"0x10"_s, 0x00);
        row(u"blanksSkippedAnywhere"_s, raw, u" 3\t0\n"_s, 0x30);
        row(u"nulStops"_s, raw, u"12"_s + QChar(0) + u"0"_s, 0x12);
        row(u"leadingZerosDoNotCount"_s, raw, u"000000000FF"_s, 0xFF);
        // Too large is refused, never wrapped round to a byte that would go out.
        for (const QString& text : {u"100"_s, QString(32, u'F'), u"100000010"_s, megabyteOf('9')})
            row(u"tooLarge "_s + text.left(12), raw, text, 0, overflow(kCommandField));
        // A turn holds its frame that long; the sampling interval reads the same way.
        row(u"turnNegativeWaitsNot"_s, turn, u"-20"_s, -20);
        row(u"turnHalfRoundsDownToTheLimit"_s, turn, u"10000.5"_s, 10000);
        row(u"turnJustOverTheLimit"_s, turn, u"10000.6"_s, 0, u"「转向时间」不能超过 10000 毫秒"_s);
        row(u"turnBeyondInt32"_s, turn, u"2147483648"_s, 0, overflow(kTurnTimeField));
        row(u"intervalOverTenSecondsRefused"_s, interval, u"10001"_s, 0,
            u"「采样间隔」不能超过 10000 毫秒"_s);
        row(u"intervalLetterO"_s, interval, u"1O"_s, 0, mismatch(u"「采样间隔」"_s));
    }

    void operatorText()
    {
        QFETCH(Reader, read);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, failure);
        double got = 0;
        QCOMPARE(failureOf([&] { got = read(text); }), failure);
        QCOMPARE(got, value);
        if (read == turn && failure.isEmpty())
            QCOMPARE(turnWait(qint32(value)).count(), qMax(qint32(value), 0));
    }

    void pacedWaitOfZeroHandlesWhatIsPending()
    {
        bool queuedRan = false;
        QTimer::singleShot(0, this, [&] { queuedRan = true; });
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
        const auto tick = [](const char* name, const QByteArray& received, const QString& alarm,
                             const QString& caption, bool lit) {
            QTest::newRow(name) << received << alarm << caption << lit;
        };
        tick("nothingReadNoReading", {}, u"-5"_s, {}, false);
        tick("twoBytesNoReading", bytes({0xFF, 0xFF}), u"40"_s, {}, false);
        tick("equalSpeedStaysDark", bytes({0x28}), u"40"_s, u"40R/Min"_s, false);
        tick("oneAboveLights", bytes({0x29}), u"40"_s, u"41R/Min"_s, true);
        tick("hexDigitsBelowAlarmTextStillLight", bytes({0x3C}), u"40"_s, u"60R/Min"_s, true);
        tick("textAboveButSpeedBelowStaysDark", bytes({0x20}), u"100"_s, u"32R/Min"_s, false);
        tick("fractionalAlarm", bytes({0x3C}), u"59.9"_s, u"60R/Min"_s, true);
        tick("negativeAlarmBlankAfterSign", bytes({0x00}), u"- 5"_s, u"00R/Min"_s, true);
        tick("exponentEndsAlarm", bytes({0x02}), u"1e3"_s, u"02R/Min"_s, true);
        tick("secondPointEndsAlarm", bytes({0x00}), u"-1.5.9"_s, u"00R/Min"_s, true);
        tick("hexAlarmIsZero", bytes({0x01}), u"A0"_s, u"01R/Min"_s, true);
        tick("megabyteOfDigitsNeverReached", bytes({0xFF}), megabyteOf('9'), u"255R/Min"_s, false);
        tick("nulEndsAlarm", bytes({0x0D}), u"12"_s + QChar(0) + u"0"_s, u"13R/Min"_s, true);
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

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestCore)
#include "test_core.moc"
