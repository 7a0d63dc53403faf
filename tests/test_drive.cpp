// Driving the car: the exact bytes each control puts on a real serial line, and what a bad
// field or a missing port leaves on it.
#include "car/frames.h"
#include "common/failure.h"
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QCheckBox>
#include <QElapsedTimer>

#include <chrono>
#include <thread>

using namespace smartcar;
using namespace std::chrono_literals;

namespace {

// Bytes as the car received them, one arrival at a time, stamped by a thread of its own:
// the window blocks during a turn, so only another thread can see when each frame lands.
struct Arrival
{
    QByteArray bytes;
    qint64 atMs;
};

class CarListener
{
public:
    // Listens until `bytesExpected` bytes came, or for a few seconds past the last arrival.
    CarListener(PtyPair& car, int bytesExpected)
    {
        m_clock.start();
        m_thread = std::thread([this, &car, bytesExpected] {
            int got = 0;
            qint64 last = m_clock.elapsed();
            while (got < bytesExpected && m_clock.elapsed() - last < 5000) {
                const QByteArray b = car.read(1, 100ms);
                if (b.isEmpty())
                    continue;
                last = m_clock.elapsed();
                m_arrivals.push_back({b, last});
                got += int(b.size());
            }
        });
    }
    ~CarListener() { finish(); }

    QList<Arrival> finish()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_arrivals;
    }
    qint64 now() const { return m_clock.elapsed(); }

private:
    QElapsedTimer m_clock;
    QList<Arrival> m_arrivals;
    std::thread m_thread;
};

QString mismatch(const QString& field) { return Failure::typeMismatch(field).describe(); }
QString overflow(const QString& field) { return Failure::overflow(field).describe(); }

} // namespace

class TestDrive : public QObject
{
    Q_OBJECT
private slots:
    void initialTextsGiveTheirFrames_data();
    void initialTextsGiveTheirFrames();
    void speedByteFromNewSpeed_data();
    void speedByteFromNewSpeed();
    void rawByteFromCommand_data();
    void rawByteFromCommand();
    void turnFrameStaysOnTheWireForTheTurnTime();
    void badTurnTimeSendsNothing_data();
    void badTurnTimeSendsNothing();
    void rangingBoxSendsTheStateItShows();
    void stopIgnoresTheOtherBoxes();
    void noPortSendsNothingAndDoesNotWait();
    void portFailingMidTurnLeavesTheTurnFrameOnly();
};

void TestDrive::initialTextsGiveTheirFrames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("advance") << "Advanced" << bytes({0x85, 0x60});
    QTest::newRow("retreat") << "Retreat" << bytes({0x86, 0x60});
    QTest::newRow("hot start") << "Start" << bytes({0x8A, 0x60});
    QTest::newRow("cold brake") << "Stop" << bytes({0x87});
    QTest::newRow("raw byte") << "Send" << bytes({0x10});
}

void TestDrive::initialTextsGiveTheirFrames()
{
    QFETCH(QString, control);
    QFETCH(QByteArray, frame);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.click(control.toLatin1().constData());
    QCOMPARE(fx.car1.read(int(frame.size())), frame);
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray()); // nothing after the frame
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestDrive::speedByteFromNewSpeed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte"); // -1: refused
    QTest::addColumn<QString>("report");
    const QString tooFast = overflow(kSpeedField);
    const QString notANumber = mismatch(kSpeedField);
    QTest::newRow("0") << "0" << 0x00 << "";
    QTest::newRow("1 (half 0.5)") << "1" << 0x00 << "";
    QTest::newRow("2") << "2" << 0x01 << "";
    QTest::newRow("20") << "20" << 0x10 << "";
    QTest::newRow("99 (half 49.5)") << "99" << 0x49 << "";
    QTest::newRow("120") << "120" << 0x60 << "";
    QTest::newRow("121 same as 120") << "121" << 0x60 << "";
    QTest::newRow("120.9 (half 60.45)") << "120.9" << 0x60 << "";
    QTest::newRow("198") << "198" << 0x99 << "";
    QTest::newRow("199 same as 198") << "199" << 0x99 << "";
    QTest::newRow("blanks around") << "  120\t" << 0x60 << "";
    QTest::newRow("exponent 1e2") << "1e2" << 0x50 << "";
    QTest::newRow("-20") << "-20" << 0x00 << "";
    QTest::newRow("200") << "200" << -1 << tooFast;
    QTest::newRow("255") << "255" << -1 << tooFast;
    QTest::newRow("600") << "600" << -1 << tooFast;
    QTest::newRow("half just below 1e15") << "1999999999999998" << -1 << tooFast;
    QTest::newRow("half 1e15 is not 0x1E") << "2e15" << -1 << tooFast;
    QTest::newRow("half 1e300") << "2e300" << -1 << tooFast;
    QTest::newRow("huge negative") << "-2e300" << 0x00 << "";
    QTest::newRow("tiny positive") << "1e-300" << 0x00 << "";
    QTest::newRow("hex float") << "0x1p3" << -1 << notANumber;
    QTest::newRow("beyond a double") << "1e999" << -1 << tooFast;
}

void TestDrive::speedByteFromNewSpeed()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    QFETCH(QString, report);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.edit("NewSpeed")->setText(text);
    fx.click("Advanced");
    if (byte >= 0) {
        QCOMPARE(fx.car1.read(2), bytes({0x85, byte}));
        QVERIFY(fx.boxes.messages().isEmpty());
    } else {
        QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
        QCOMPARE(fx.boxes.texts(), QStringList{report});
    }
    // The console carries on: the next frame is whole and carries no stale byte.
    fx.boxes.clear();
    fx.click("Stop");
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
}

void TestDrive::rawByteFromCommand_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte"); // -1: refused
    QTest::newRow("ff") << "ff" << 0xFF;
    QTest::newRow("FF") << "FF" << 0xFF;
    QTest::newRow("leading zero 0FF") << "0FF" << 0xFF;
    QTest::newRow("stops at G: 7G") << "7G" << 0x07;
    QTest::newRow("empty") << "" << 0x00;
    QTest::newRow("no digit first: G1") << "G1" << 0x00;
    QTest::newRow("minus sign") << "-5" << 0x00;
    QTest::newRow("prefix 0x10 stops at x") << "0x10" << 0x00;
    QTest::newRow("blanks anywhere") << " 3\t0\n" << 0x30;
    QTest::newRow("100") << "100" << -1;
    QTest::newRow("long run of F never wraps") << QString(40, QLatin1Char('F')) << -1;
    QTest::newRow("2^32 + 0x10 never wraps") << "100000010" << -1;
}

void TestDrive::rawByteFromCommand()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.edit("command")->setText(text);
    fx.click("Send");
    if (byte >= 0) {
        QCOMPARE(fx.car1.read(1), bytes({byte}));
        QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
        QVERIFY(fx.boxes.messages().isEmpty());
    } else {
        QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
        QCOMPARE(fx.boxes.texts(), QStringList{overflow(kCommandField)});
    }
}

void TestDrive::turnFrameStaysOnTheWireForTheTurnTime()
{
    // The turn frame must reach the car at the start of the turn, not together with the
    // centring frame at its end; 301.5 rounds to 302, a negative time centres at once.
    struct Case { const char* control; QString time; int waitMs; QByteArray turn, centre; };
    const Case cases[] = {
        {"Left", QStringLiteral("2000"), 2000, bytes({0x81}), bytes({0x83})},
        {"Right", QStringLiteral("301.5"), 302, bytes({0x82}), bytes({0x84})},
        {"Left", QStringLiteral("0"), 0, bytes({0x81}), bytes({0x83})},
        // Taken as an unsigned count, -1 would be a wait of some 49 days: this would hang.
        {"Right", QStringLiteral("-1"), 0, bytes({0x82}), bytes({0x84})},
        {"Left", QStringLiteral("-2147483648"), 0, bytes({0x81}), bytes({0x83})},
    };
    for (const Case& c : cases) {
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.edit("ChangeTime")->setText(c.time);
        CarListener car(fx.car1, 2);
        const qint64 pressed = car.now();
        fx.click(c.control);
        const qint64 returned = car.now();
        const QList<Arrival> got = car.finish();
        QByteArray all;
        for (const Arrival& a : got)
            all += a.bytes;
        QCOMPARE(all, c.turn + c.centre);
        QVERIFY2(returned - pressed >= c.waitMs, c.control);
        if (c.waitMs > 0) {
            QCOMPARE(got.size(), 2);
            // Stamps come from another thread, so allow it a little lateness on the first.
            QVERIFY2(got[1].atMs - got[0].atMs >= c.waitMs - 20,
                     qPrintable(QStringLiteral("gap %1 ms").arg(got[1].atMs - got[0].atMs)));
        }
        QVERIFY(fx.boxes.messages().isEmpty());
    }
}

void TestDrive::badTurnTimeSendsNothing_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("report");
    QTest::newRow("letters, left") << "Left" << "abc" << mismatch(kTurnTimeField);
    QTest::newRow("empty, right") << "Right" << "" << mismatch(kTurnTimeField);
    QTest::newRow("beyond int32") << "Left" << "2147483648" << overflow(kTurnTimeField);
    QTest::newRow("below int32") << "Right" << "-3e9" << overflow(kTurnTimeField);
    QTest::newRow("nan") << "Left" << "nan" << mismatch(kTurnTimeField);
}

void TestDrive::badTurnTimeSendsNothing()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, report);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.edit("ChangeTime")->setText(text);
    fx.click(control.toLatin1().constData());
    // No turn frame either: the wheels must not stay turned with no centring to follow.
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
    QCOMPARE(fx.boxes.texts(), QStringList{report});

    // The next good turn works as ever.
    fx.boxes.clear();
    fx.edit("ChangeTime")->setText(QStringLiteral("1"));
    fx.click("Left");
    QCOMPARE(fx.car1.read(2), bytes({0x81, 0x83}));
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestDrive::rangingBoxSendsTheStateItShows()
{
    ConsoleFixture fx;
    auto* box = fx.get<QCheckBox>("Check1");
    QVERIFY(!box->isChecked());
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray()); // nothing at start-up

    // Without a port the box still changes; the one report says why nothing went out.
    box->click();
    QVERIFY(box->isChecked());
    QCOMPARE(fx.boxes.texts(), QStringList{Failure::portNotOpen().describe()});
    fx.boxes.clear();
    box->click();
    QVERIFY(!box->isChecked());
    fx.boxes.clear();

    QVERIFY(fx.open(0));
    box->click();
    QCOMPARE(fx.car1.read(1), bytes({0x88}));
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
    box->click();
    QCOMPARE(fx.car1.read(1), bytes({0x89}));
    box->click();
    QCOMPARE(fx.car1.read(1), bytes({0x88}));
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestDrive::stopIgnoresTheOtherBoxes()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    for (const char* name : {"NewSpeed", "ChangeTime", "command", "delaytime", "MaxSpeed"})
        fx.edit(name)->setText(QStringLiteral("不是数字"));
    fx.click("Stop");
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
    fx.click("Stop");
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestDrive::noPortSendsNothingAndDoesNotWait()
{
    ConsoleFixture fx;
    // A turn time of a day: a turn that waited before failing would hang this test.
    fx.edit("ChangeTime")->setText(QStringLiteral("86400000"));
    const QString notOpen = Failure::portNotOpen().describe();
    for (const char* control : {"Advanced", "Retreat", "Start", "Stop", "Left", "Right", "Send"}) {
        fx.click(control);
        QCOMPARE(fx.boxes.texts(), QStringList{notOpen});
        fx.boxes.clear();
    }
    QVERIFY(fx.open(0));
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
}

void TestDrive::portFailingMidTurnLeavesTheTurnFrameOnly()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.edit("ChangeTime")->setText(QStringLiteral("500"));
    // The car takes the turn frame and then vanishes while the console sleeps.
    QByteArray seen;
    std::thread car([&] {
        seen = fx.car1.read(1, 3s);
        fx.car1.vanish();
    });
    fx.click("Left");
    car.join();
    QCOMPARE(seen, bytes({0x81}));
    QCOMPARE(fx.boxes.messages().size(), 1);
    QVERIFY(!fx.portOpen());
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
}

QTEST_MAIN(TestDrive)
#include "test_drive.moc"
