// The bytes the driving controls put on a real serial line, or why they put none.
#include "common/failure.h"
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QElapsedTimer>

#include <thread>

using namespace smartcar;
using namespace std::chrono_literals;

using Typed = QMap<QString, QString>; // a box and the text typed into it

class TestDrive : public QObject
{
    Q_OBJECT
private slots:
    void framesFromTheControls_data();
    void framesFromTheControls();
    void withoutAPortNothingGoesOutOrWaits();
};

void TestDrive::framesFromTheControls_data()
{
    QTest::addColumn<QStringList>("controls"); // clicked in turn
    QTest::addColumn<Typed>("typed");          // box and its text; the others initial
    QTest::addColumn<QByteArray>("frames");    // empty: refused with a box, nothing sent
    QTest::addColumn<int>("turnMs");           // how long the first frame is on the wire alone
    QTest::newRow("initialTextsAndRanging")
        << QStringList{"Advanced", "Retreat", "Start", "Send", "Check1", "Check1", "Check1"}
        << Typed{} << bytes({0x85, 0x60, 0x86, 0x60, 0x8A, 0x60, 0x10, 0x88, 0x89, 0x88}) << 0;
    QTest::newRow("typedTexts") << QStringList{"Advanced", "Send"}
                                << Typed{{"NewSpeed", "99"}, {"command", "ff"}}
                                << bytes({0x85, 0x49, 0xFF}) << 0;
    QTest::newRow("stopIgnoresTheOtherBoxes")
        << QStringList{"Stop"} << Typed{{"NewSpeed", "x"}} << bytes({0x87}) << 0;
    QTest::newRow("tooFastSendsNothing")
        << QStringList{"Retreat"} << Typed{{"NewSpeed", "200"}} << QByteArray() << 0;
    // A turn's frame goes out as the turn begins; a negative time is no wait, not weeks unsigned.
    QTest::newRow("turnTimeHeld") << QStringList{"Left"} << Typed{{"ChangeTime", "301.5"}}
                                  << bytes({0x81, 0x83}) << 302;
    QTest::newRow("negativeTurnNoWait")
        << QStringList{"Right"} << Typed{{"ChangeTime", "-1"}} << bytes({0x82, 0x84}) << 0;
    // Pasted junk: refused before the turn frame goes out, or read as far as it is a number.
    QTest::newRow("megabyteTurnTimeRefusedBeforeTheTurn")
        << QStringList{"Left"} << Typed{{"ChangeTime", QString(1 << 20, u'9')}} << QByteArray()
        << 0;
    QTest::newRow("emojiCommandIsZero")
        << QStringList{"Send"} << Typed{{"command", QStringLiteral("🚗")}} << bytes({0x00}) << 0;
}

void TestDrive::framesFromTheControls()
{
    QFETCH(QStringList, controls);
    QFETCH(Typed, typed);
    QFETCH(QByteArray, frames);
    QFETCH(int, turnMs);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    for (auto it = typed.cbegin(); it != typed.cend(); ++it)
        fx.edit(qPrintable(it.key()))->setText(it.value());
    QElapsedTimer clock; // the window holds still in a turn: a thread sees each byte land
    clock.start();
    QByteArray got;
    QList<qint64> landed;
    std::thread car([&] {
        while (got.size() < frames.size() && clock.elapsed() < 10000)
            for (char byte : fx.car1.read(1, 100ms)) {
                got += byte;
                landed << clock.elapsed();
            }
    });
    for (const QString& control : controls)
        fx.get<QAbstractButton>(qPrintable(control))->click();
    const qint64 returned = clock.elapsed();
    car.join();
    QCOMPARE(fx.boxes.messages().size(), frames.isEmpty() ? 1 : 0);
    QVERIFY(returned >= turnMs);
    QVERIFY(turnMs == 0 || landed.last() - landed.first() >= turnMs - 20); // stamps may be late
    fx.click("Stop"); // whole, with not a byte more before it
    QCOMPARE(got + fx.car1.read(1), frames + bytes({0x87}));
}

void TestDrive::withoutAPortNothingGoesOutOrWaits()
{
    ConsoleFixture fx;
    fx.edit("ChangeTime")->setText(QStringLiteral("10000")); // if waited: 20 s here
    for (const char* control :
         {"Advanced", "Retreat", "Start", "Stop", "Left", "Right", "Send", "Check1"})
        fx.get<QAbstractButton>(control)->click(); // each one box, none waits
    QCOMPARE(fx.boxes.texts(), QStringList(8, Failure::portNotOpen().describe()));
    QVERIFY(fx.get<QAbstractButton>("Check1")->isChecked()); // it shows the choice all the same
    QVERIFY(fx.open(0));
    fx.click("Stop"); // nothing held back and sent on opening comes before it
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
}

QTEST_MAIN(TestDrive)
#include "test_drive.moc"
