// The car vanishing under the console, and a car that floods the line.
#include "resident.h"
#include "support/consolefixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using smartcar::residentMiB;

namespace {

const QString kVanished = QStringLiteral("通信端口已断开，请检查无线适配器");

QString caption(const ConsoleFixture& fx) { return fx.get<QLabel>("lblValue")->text(); }

} // namespace

class TestEndurance : public QObject
{
    Q_OBJECT
private slots:
    void unplugged_data();
    void unplugged();
    void floodKeepsTheConsoleAnswering();
};

void TestEndurance::unplugged_data()
{
    QTest::addColumn<bool>("duringTurn");
    QTest::newRow("while monitoring") << false;
    QTest::newRow("while a turn waits") << true;
}

void TestEndurance::unplugged()
{
    QFETCH(bool, duringTurn);
    ConsoleFixture fx;
    auto* timer = fx.get<QTimer>("Timer1");
    QVERIFY(fx.open(0));
    fx.click("cmdStart");
    fx.car1.write(QByteArray(1, '\x3C'));
    QTRY_COMPARE(caption(fx), QStringLiteral("60R/Min"));

    if (duringTurn) {
        fx.edit("ChangeTime")->setText(QStringLiteral("300"));
        std::thread car([&] {
            fx.car1.read(1, 3s); // the turn frame
            fx.car1.vanish();
        });
        fx.click("Left");
        car.join();
        QCOMPARE(fx.boxes.messages().size(), 1); // the centring frame could not go out
    } else {
        fx.car1.vanish();
        QTRY_VERIFY(!fx.portOpen());
        QVERIFY(fx.boxes.messages().isEmpty());
    }
    QTRY_COMPARE(fx.status(), kVanished);
    QVERIFY(!fx.portOpen());
    QVERIFY(!timer->isActive());
    QCOMPARE(fx.button("cmdStart")->text(), QStringLiteral("开始检测"));

    // Said once: nothing keeps failing on the dead line and overwriting the message.
    QTest::qWait(500);
    QCOMPARE(fx.status(), kVanished);
    QCOMPARE(fx.boxes.messages().size(), duringTurn ? 1 : 0);
    fx.boxes.clear();

    // The adapter comes back (under a new name, as a re-plugged USB adapter may).
    PtyPair back;
    qputenv("SMARTCAR_COM1", back.slavePath().toLocal8Bit());
    QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
    fx.click("cmdOpenCOM");
    QVERIFY(fx.portOpen());
    fx.click("cmdStart");
    QVERIFY(timer->isActive());
    back.write(QByteArray(1, '\x05'));
    QTRY_COMPARE(caption(fx), QStringLiteral("05R/Min"));
    fx.click("Stop");
    QCOMPARE(back.read(1), QByteArray(1, '\x87'));
    QVERIFY(fx.boxes.messages().isEmpty());
}

void TestEndurance::floodKeepsTheConsoleAnswering()
{
    ConsoleFixture fx;
    QVERIFY(fx.open(0));
    fx.click("cmdStart");
    QTest::qWait(300);
    const double before = residentMiB();

    // 100 kB/s for 10 s: a thousand bytes every 10 ms, whatever the line cannot take lost.
    std::atomic<bool> flooding{true};
    qsizetype offered = 0;
    std::thread car([&] {
        const QByteArray chunk(1000, '\x41');
        auto next = std::chrono::steady_clock::now();
        const auto end = next + 10s;
        while (next < end) {
            offered += fx.car1.offer(chunk);
            next += 10ms;
            std::this_thread::sleep_until(next);
        }
        flooding = false;
    });

    int clicksAnswered = 0;
    double peak = before;
    while (flooding) {
        QTest::qWait(250);
        // A click in the middle of the flood is handled at once.
        fx.get<QCheckBox>("Check1")->click();
        ++clicksAnswered;
        peak = qMax(peak, residentMiB());
    }
    car.join();
    QVERIFY2(peak - before < 20.0, qPrintable(QStringLiteral("grew %1 MiB").arg(peak - before)));
    QVERIFY(fx.boxes.messages().isEmpty());

    // Every ranging click reached the car, one byte each, alternating on and off.
    const QByteArray frames = fx.car1.read(clicksAnswered, 3s);
    QCOMPARE(frames.size(), clicksAnswered);
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(quint8(frames[i]), quint8(i % 2 ? 0x89 : 0x88));

    QVERIFY(offered > 0);

    // Once the flood is over and the line has been read empty, a single reading shows again.
    QTRY_COMPARE_WITH_TIMEOUT(fx.car1.waitingAtConsole(), 0, 30000);
    QTest::qWait(300);
    fx.car1.write(QByteArray(1, '\x0A'));
    QTRY_COMPARE(caption(fx), QStringLiteral("10R/Min"));
}

QTEST_MAIN(TestEndurance)
#include "test_endurance.moc"
