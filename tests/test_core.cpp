// The number readings; the operator's text as frame bytes and waits, and the paced wait itself;
// a poll tick's bytes as caption and lamp. No window.
#include "car/carreader.h"
#include "car/frames.h"
#include "common/numbers.h"
#include "common/pacedwait.h"
#include "monitor/poll.h"
#include "monitor/pollstate.h"
#include "monitor/silence.h"
#include "monitor/tickorder.h"
#include "support/checks.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <limits>

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
const auto mismatch = [](const QString& f) { return Failure::typeMismatch(f).describe(); };
const auto overflow = [](const QString& f) { return Failure::overflow(f).describe(); };
const auto megabyteOf = [](char c) { return QString(1 << 20, QLatin1Char(c)); };

// Rows of one reading of the operator's text: the text, what it reads as, and the words it
// fails with (empty: it reads).
template <typename T>
struct Readings
{
    Readings()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<T>("value");
        QTest::addColumn<QString>("failure");
    }
    void operator()(const QString& name, const QString& text, T value,
                    const QString& failure = {}) const
    {
        QTest::newRow(qPrintable(name)) << text << value << failure;
    }
};

template <typename T>
void checkReading(const std::function<T(QStringView)>& read)
{
    QFETCH(QString, text);
    QFETCH(T, value);
    QFETCH(QString, failure);
    T got{};
    QCOMPARE(failureOf([&] { got = read(text); }), failure);
    QCOMPARE(got, value);
}
} // namespace

// A poll tick as the silence watch sees it, and what it should change on show.
struct SilenceStep
{
    qint64 ms;
    bool anyByte;
    bool began = false;
    bool ended = false;
    int seconds = 0;
};

// What happened to the line between two runs of bytes the car read.
enum class LineEvent { Nothing, Lost, Reopened };

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    // The decimal digits of half the speed as two 4-bit digits; the speed is read strictly.
    void speedBytes_data()
    {
        const Readings<quint8> row;
        row(u"explicitPlusTrailingPoint"_s, u"+5."_s, 0x02);
        row(u"signedExponentEitherCase"_s, u"1.5E+1"_s, 0x07);
        row(u"underflowIsZeroNotOverflow"_s, u"1e-400"_s, 0x00);
        row(u"nulInside"_s, u"12"_s + QChar(0) + u"0"_s, 0, mismatch(kSpeedField));
        row(u"beyondADouble"_s, u"-1.8e308"_s, 0, overflow(kSpeedField));
        row(u"fastestSpeed"_s, u"199"_s, 0x99);
        row(u"blanksAround"_s, u"  120\t"_s, 0x60);
        row(u"hugeNegativeSendsZero"_s, u"-2e300"_s, 0x00);
        // Half of 100 or more is too fast, even where plain notation fails: "1E+15" is never 0x1E.
        // A half is read to 15 digits: 99.999999999999986 is 100, not 0x99.
        for (const QString& text :
             {u"200"_s, u"199.99999999999997"_s, u"1999999999999998"_s, u"2e15"_s, u"1e999"_s})
            row(u"tooFast "_s + text, text, 0, overflow(kSpeedField));
        for (const QString& text : {u""_s, u"nan"_s, u"0x10"_s, u"&H10"_s, u"45km"_s, u"１２０"_s,
                                    u"🚗"_s, megabyteOf('z')})
            row(u"notANumber "_s + text.left(8).toHtmlEscaped(), text, 0, mismatch(kSpeedField));
    }
    void speedBytes() { checkReading<quint8>(speedByte); }

    void rawBytes_data()
    {
        const Readings<quint8> row;
        row(u"stopsAtNonHexDigit"_s, u"7G"_s, 0x07);
        row(u"noDigitIsZero"_s, u"G1"_s, 0x00);
        row(u"hexPrefixStopsAtX"_s, u"0x10"_s, 0x00);
        row(u"blanksSkippedAnywhere"_s, u" 3\t0\n"_s, 0x30);
        row(u"nulStops"_s, u"12"_s + QChar(0) + u"0"_s, 0x12);
        row(u"leadingZerosDoNotCount"_s, u"000000000FF"_s, 0xFF);
        // Too large is refused, never wrapped round to a byte that would go out.
        for (const QString& text : {u"100"_s, QString(32, u'F'), u"100000010"_s, megabyteOf('9')})
            row(u"tooLarge "_s + text.left(12), text, 0, overflow(kCommandField));
    }
    void rawBytes() { checkReading<quint8>(rawByte); }

    // What the car makes of the next byte after what reached it, told by what a brake must be
    // written as to be read as a brake.
    // Monitoring starts at 0 with a car that says nothing; silence begins past one second,
    // its seconds are shown as they change, and any byte ends it.
    void silenceSeenOnceASecond()
    {
        const QList<SilenceStep> steps = {
            {500, false},
            {1000, false},
            {1100, false, true, false, 1},
            {1900, false},
            {2000, false, false, false, 2},
            {2050, true, false, true},
            {3050, false},
            {3051, false, true, false, 1},
        };
        Silence silence;
        silence.restart(0);
        for (const SilenceStep& step : steps) {
            const Silence::Seen seen = silence.tick(step.anyByte, step.ms);
            QCOMPARE(seen.began, step.began);
            QCOMPARE(seen.ended, step.ended);
            QCOMPARE(seen.seconds, step.seconds);
        }
        QVERIFY(silence.silent());
        QVERIFY(silence.takeGap()); // the byte at 2050 came after a silence
        QVERIFY(!silence.takeGap());
    }

    // Restarting monitoring during a long interval: the newer tick shows first, the older one
    // then shows nothing and lights no lamp, though its reading was above the alarm speed.
    void pollOlderTickNeverCoversNewer()
    {
        PollState poll;
        const TickOrder::Tick older = poll.begin();
        const PollState::Read fast = poll.read(older, 1, bytes({0x41}), u"40", 0);
        QVERIFY(fast.alarm);
        const TickOrder::Tick newer = poll.begin();
        const PollState::Show shown = poll.finished(poll.read(newer, 1, bytes({0x10}), u"40", 10),
                                                    true);
        QCOMPARE(shown.reading, std::optional<quint8>(0x10));
        QVERIFY(!shown.lightsLamp);
        const PollState::Show late = poll.finished(fast, true);
        QVERIFY(!late.reading);
        QVERIFY(!late.lightsLamp);
        QVERIFY(!poll.lampLit());
    }

    // A reading taken before the device went, shown once it has gone, is shown as old news.
    void pollReadingBeforeAnUnplugIsStale()
    {
        PollState poll;
        const PollState::Read inWait = poll.read(poll.begin(), 1, bytes({0x10}), u"40", 0);
        poll.unplugged();
        QVERIFY(poll.finished(inWait, true).stale);
        QVERIFY(!poll.finished(poll.read(poll.begin(), 1, bytes({0x11}), u"40", 10), true).stale);
    }

    // A failure comes off the status panel with the first success after it, once, while the
    // poll is on and the car is not silent.
    void pollSaysConnectedAgainOnce()
    {
        PollState poll;
        poll.restart(0);
        poll.failed(poll.begin());
        const auto tickAt = [&](qint64 ms, const QByteArray& b, bool monitoring = true) {
            return poll.finished(poll.read(poll.begin(), int(b.size()), b, u"40", ms), monitoring);
        };
        QVERIFY(!tickAt(100, bytes({0x10}), false).connectedAgain); // monitoring stopped meanwhile
        const TickOrder::Tick beforeFailure = poll.begin();
        poll.failed(poll.begin());
        // A tick begun before the failure says nothing about its cause.
        QVERIFY(!poll.finished(poll.read(beforeFailure, 1, bytes({0x10}), u"40", 150), true)
                     .connectedAgain);
        QVERIFY(tickAt(200, bytes({0x10})).connectedAgain);
        QVERIFY(!tickAt(300, bytes({0x10})).connectedAgain);
        poll.failed(poll.begin());
        QVERIFY(!tickAt(1400, {}).connectedAgain); // silent since 300: the silence is on show
        const PollState::Show back = tickAt(1500, bytes({0x41}));
        QVERIFY(back.afterGap);
        QVERIFY(back.lightsLamp);
        QVERIFY(poll.lampLit());
    }

    void carReadsTheStream_data()
    {
        using enum LineEvent;
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<LineEvent>("then");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("brake");
        const auto row = [](const char* name, const QByteArray& before, LineEvent then,
                            const QByteArray& after, const QByteArray& brake) {
            QTest::newRow(name) << before << then << after << brake;
        };
        row("speedCodeAloneWaitsForItsByte", bytes({0x86}), Nothing, {}, bytes({0x00, 0x87}));
        row("codeAsSpeedByteIsTakenAsSpeed", bytes({0x85, 0x85}), Nothing, {}, bytes({0x87}));
        row("wholeFramesNeedNoFiller", bytes({0x8A, 0x60, 0x81}), Nothing, {}, bytes({0x87}));
        row("lostLineMayWait", bytes({0x87}), Lost, {}, bytes({0x00, 0x87}));
        row("lostThenAByteThatIsNoSpeedCode", {}, Lost, bytes({0x10}), bytes({0x87}));
        row("lostThenASpeedCodeStillUnsure", {}, Lost, bytes({0x85}), bytes({0x00, 0x87}));
        row("reopenedWhileWaitingUnsure", bytes({0x85}), Reopened, bytes({0x85}),
            bytes({0x00, 0x87}));
        row("reopenedReadingCommandsNoFiller", bytes({0x87}), Reopened, {}, bytes({0x87}));
    }

    void carReadsTheStream()
    {
        QFETCH(QByteArray, before);
        QFETCH(LineEvent, then);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, brake);
        CarReader car;
        car.read(before);
        if (then == LineEvent::Lost)
            car.lose();
        else if (then == LineEvent::Reopened)
            car.reopen();
        car.read(after);
        QCOMPARE(car.asCommand(bytes({0x87})), brake);
    }

    // Milliseconds a turn holds its frame, the nearest whole number with an exact half going to
    // the even neighbour; the sampling interval reads the same way.
    void turnTimes_data()
    {
        const Readings<qint32> row;
        row(u"negativeStands"_s, u"-20"_s, -20);
        row(u"halfRoundsDownToTheLimit"_s, u"10000.5"_s, 10000);
        row(u"justOverTheLimit"_s, u"10000.6"_s, 0, u"「转向时间」不能超过 10000 毫秒"_s);
        row(u"beyondInt32"_s, u"2147483648"_s, 0, overflow(kTurnTimeField));
        row(u"halfBelowSmallestRoundsIn"_s, u"-2147483648.5"_s, std::numeric_limits<qint32>::min());
        row(u"justBelowSmallest"_s, u"-2147483649"_s, 0, overflow(kTurnTimeField));
    }
    void turnTimes() { checkReading<qint32>(turnTime); }

    void samplingIntervalOverTenSecondsRefused()
    {
        QCOMPARE(failureOf([] { samplingInterval(u"10001"); }),
                 u"「采样间隔」不能超过 10000 毫秒"_s);
    }

    void pacedWaitOfZeroHandlesWhatIsPending()
    {
        bool queuedRan = false;
        QTimer::singleShot(0, this, [&] { queuedRan = true; });
        QVERIFY(PacedWait(0));
        QVERIFY(queuedRan);
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
            PacedWait(80);
            innerNs = clock.nsecsElapsed();
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
        QVERIFY(QCoreApplication::exec() == 0);
        QVERIFY(!completed);
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
};

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestCore)
#include "test_core.moc"
