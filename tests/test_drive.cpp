// The bytes the driving controls put on a real serial line, or why they put none.
#include "common/failure.h"
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QElapsedTimer>

#include <thread>

using namespace smartcar;
using namespace std::chrono_literals;

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
    QTest::addColumn<QString>("controls");  // clicked in turn
    QTest::addColumn<QString>("typed");     // "box=text ..."; empty: the initial texts
    QTest::addColumn<QByteArray>("frames"); // empty: refused with a box, nothing sent
    QTest::addColumn<int>("turnMs");        // how long the first frame is on the wire alone
    // clang-format off
    QTest::newRow("initialTextsAndRanging") << "Advanced Retreat Start Send Check1 Check1 Check1"
        << "" << bytes({0x85, 0x60, 0x86, 0x60, 0x8A, 0x60, 0x10, 0x88, 0x89, 0x88}) << 0;
    QTest::newRow("typedTexts") << "Advanced Send" << "NewSpeed=99 command=ff"
        << bytes({0x85, 0x49, 0xFF}) << 0;
    QTest::newRow("stopIgnoresTheOtherBoxes") << "Stop" << "NewSpeed=x" << bytes({0x87}) << 0;
    QTest::newRow("tooFastSendsNothing") << "Retreat" << "NewSpeed=200" << QByteArray() << 0;
    // A turn's frame goes out as the turn begins; a negative time is no wait, not weeks unsigned.
    QTest::newRow("turnTimeHeld") << "Left" << "ChangeTime=301.5" << bytes({0x81, 0x83}) << 302;
    QTest::newRow("negativeTurnNoWait") << "Right" << "ChangeTime=-1" << bytes({0x82, 0x84}) << 0;
    // clang-format on
}

void TestDrive::framesFromTheControls()
{
    QFETCH(QString, controls);
    QFETCH(QString, typed);
    QFETCH(QByteArray, frames);
    QFETCH(int, turnMs);
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    for (const QString& entry : typed.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        fx.edit(qPrintable(entry.section(u'=', 0, 0)))->setText(entry.section(u'=', 1));
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
    for (const QString& control : controls.split(QLatin1Char(' ')))
        fx.get<QAbstractButton>(qPrintable(control))->click();
    const qint64 returned = clock.elapsed();
    car.join();
    QCOMPARE(got + fx.car1.read(1, 100ms), frames); // and not a byte more
    QCOMPARE(fx.boxes.messages().size(), frames.isEmpty() ? 1 : 0);
    QVERIFY(returned >= turnMs);
    QVERIFY(turnMs == 0 || landed.last() - landed.first() >= turnMs - 20); // stamps may be late
    fx.click("Stop"); // whole, with no stale byte before it
    QCOMPARE(fx.car1.read(1), bytes({0x87}));
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
    QCOMPARE(fx.car1.read(1, 100ms), QByteArray()); // nothing held back, nothing on opening
}

QTEST_MAIN(TestDrive)
#include "test_drive.moc"
