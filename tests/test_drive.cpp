// Driving the car: the exact bytes each control puts on a real serial line, and what a bad
// field or a missing port leaves on it.
#include "car/frames.h"
#include "common/failure.h"
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QCheckBox>
#include <QElapsedTimer>

#include <thread>

using namespace smartcar;
using namespace std::chrono_literals;

namespace {
QString mismatch(const QString& field) { return Failure::typeMismatch(field).describe(); }
QString overflow(const QString& field) { return Failure::overflow(field).describe(); }
const QString kTurnTooLong = QStringLiteral("「转向时间」超出范围：0 到 10000 毫秒");
} // namespace

class TestDrive : public QObject
{
    Q_OBJECT
private slots:
    void frameFromText_data();
    void frameFromText();
    void turnFrameStaysOnTheWireForTheTurnTime();
    void rangingBoxSendsTheStateItShows();
    void noPortSendsNothingAndDoesNotWait();
};

void TestDrive::frameFromText_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("field"); // empty: the initial texts
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame"); // empty: refused, nothing sent
    QTest::addColumn<QString>("report");

    QTest::newRow("initial advance") << "Advanced" << "" << "" << bytes({0x85, 0x60}) << "";
    QTest::newRow("initial retreat") << "Retreat" << "" << "" << bytes({0x86, 0x60}) << "";
    QTest::newRow("initial hot start") << "Start" << "" << "" << bytes({0x8A, 0x60}) << "";
    QTest::newRow("initial raw byte") << "Send" << "" << "" << bytes({0x10}) << "";
    QTest::newRow("stop ignores the other boxes") << "Stop" << "NewSpeed" << "x" << bytes({0x87}) << "";

    // The speed byte: the decimal digits of half the speed as two 4-bit digits.
    const struct { const char* text; int byte; } speeds[] = {
        {"1", 0x00}, {"2", 0x01}, {"99", 0x49}, {"121", 0x60}, {"120.9", 0x60}, {"199", 0x99},
        {"  120\t", 0x60}, {"1e2", 0x50}, {"-20", 0x00}, {"-2e300", 0x00}, {"1e-300", 0x00},
    };
    for (const auto& s : speeds)
        QTest::addRow("speed %s", s.text) << "Advanced" << "NewSpeed" << s.text
                                          << bytes({0x85, s.byte}) << "";
    // A half of 100 or more is too fast, also when plain notation cannot show it: "1E+15"
    // must never become 0x1E.
    for (const char* text : {"200", "1999999999999998", "2e15", "2e300"})
        QTest::addRow("speed %s refused", text) << "Advanced" << "NewSpeed" << text << QByteArray()
                                                << overflow(kSpeedField);
    QTest::newRow("speed hex float") << "Retreat" << "NewSpeed" << "0x1p3" << QByteArray()
                                     << mismatch(kSpeedField);

    const struct { const char* text; int byte; } raws[] = {
        {"ff", 0xFF}, {"0FF", 0xFF}, {"7G", 0x07}, {"-5", 0x00}, {"0x10", 0x00},
        {" 3\t0\n", 0x30},
    };
    for (const auto& r : raws)
        QTest::addRow("raw %s", r.text) << "Send" << "command" << r.text << bytes({r.byte}) << "";
    for (const char* text : {"100", "100000010"})
        QTest::addRow("raw %s refused, never wrapped", text)
            << "Send" << "command" << text << QByteArray() << overflow(kCommandField);

    // A turn that cannot be timed sends not even its turn frame: the wheels would stay turned.
    QTest::newRow("turn time letters") << "Left" << "ChangeTime" << "abc" << QByteArray()
                                       << mismatch(kTurnTimeField);
    QTest::newRow("turn time below int32") << "Right" << "ChangeTime" << "-3e9" << QByteArray()
                                           << overflow(kTurnTimeField);
    // A digit too many would hold the console still with the wheels turned.
    QTest::newRow("turn time over ten seconds") << "Left" << "ChangeTime" << "20000"
                                                << QByteArray() << kTurnTooLong;
}

void TestDrive::frameFromText()
{
    QFETCH(QString, control);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    QFETCH(QString, report);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    if (!field.isEmpty())
        fx.edit(field.toLatin1().constData())->setText(text);
    fx.click(control.toLatin1().constData());
    QCOMPARE(fx.car1.read(qMax(1, int(frame.size())), frame.isEmpty() ? 100ms : 2000ms), frame);
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray()); // nothing after the frame
    QCOMPARE(fx.boxes.texts(), report.isEmpty() ? QStringList() : QStringList{report});

    // The console carries on: the next frame is whole and carries no stale byte.
    fx.click("Stop");
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
}

void TestDrive::turnFrameStaysOnTheWireForTheTurnTime()
{
    // The turn frame must reach the car at the start of the turn, not together with the
    // centring frame at its end; 301.5 rounds to 302; a negative time centres at once (as an
    // unsigned count, -1 would be a wait of some 49 days and this test would hang).
    struct Case { const char* control; QString time; int waitMs; QByteArray frames; };
    const Case cases[] = {
        {"Left", QStringLiteral("2000"), 2000, bytes({0x81, 0x83})},
        {"Right", QStringLiteral("301.5"), 302, bytes({0x82, 0x84})},
        {"Left", QStringLiteral("0"), 0, bytes({0x81, 0x83})},
        {"Right", QStringLiteral("-1"), 0, bytes({0x82, 0x84})},
        {"Left", QStringLiteral("-2147483648"), 0, bytes({0x81, 0x83})},
    };
    for (const Case& c : cases) {
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.edit("ChangeTime")->setText(c.time);
        // The window blocks during a turn, so only another thread sees when each byte lands.
        QElapsedTimer clock;
        clock.start();
        QList<qint64> landed;
        QByteArray got;
        std::thread car([&] {
            while (got.size() < 2 && clock.elapsed() < c.waitMs + 5000) {
                const QByteArray b = fx.car1.read(1, 100ms);
                for (char byte : b) {
                    got.append(byte);
                    landed.append(clock.elapsed());
                }
            }
        });
        fx.click(c.control);
        const qint64 returned = clock.elapsed();
        car.join();
        QCOMPARE(got, c.frames);
        QVERIFY2(returned >= c.waitMs, c.control);
        // Stamps come from another thread, so allow it a little lateness on the first.
        QVERIFY2(landed[1] - landed[0] >= c.waitMs - 20,
                 qPrintable(QStringLiteral("gap %1 ms").arg(landed[1] - landed[0])));
        QVERIFY(fx.boxes.messages().isEmpty());
    }
}

void TestDrive::rangingBoxSendsTheStateItShows()
{
    ConsoleFixture fx;
    auto* box = fx.get<QCheckBox>("Check1");
    QVERIFY(!box->isChecked());

    // Without a port the box still changes; the one report says why nothing went out.
    box->click();
    QVERIFY(box->isChecked());
    QCOMPARE(fx.boxes.texts(), QStringList{Failure::portNotOpen().describe()});
    box->click();
    fx.boxes.clear();

    QVERIFY(fx.open(0));
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray()); // nothing at start-up or on opening
    for (int on : {0x88, 0x89, 0x88}) {
        box->click();
        QCOMPARE(fx.car1.read(1), bytes({on}));
        QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
    }
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestDrive::noPortSendsNothingAndDoesNotWait()
{
    ConsoleFixture fx;
    // The longest turn: one that waited before failing would hold this test for 20 s.
    fx.edit("ChangeTime")->setText(QStringLiteral("10000"));
    const QString notOpen = Failure::portNotOpen().describe();
    for (const char* control : {"Advanced", "Retreat", "Start", "Stop", "Left", "Right", "Send"}) {
        fx.click(control);
        QCOMPARE(fx.boxes.texts(), QStringList{notOpen});
        fx.boxes.clear();
    }
    QVERIFY(fx.open(0));
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray());
}

QTEST_MAIN(TestDrive)
#include "test_drive.moc"
