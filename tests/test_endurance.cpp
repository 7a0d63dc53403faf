// A session with a car that vanishes under the console, comes back and floods the line.
#include "serial/commport.h"
#include "support/consolefixture.h"

#include <QTimer>

#include <thread>

using namespace std::chrono_literals;

class TestEndurance : public QObject
{
    Q_OBJECT
private slots:
    void unpluggedFloodedAndUnpluggedAgain();
};

void TestEndurance::unpluggedFloodedAndUnpluggedAgain()
{
    ConsoleFixture fx;
    // Said once, with a box only for a frame that could not go out.
    const auto gone = [&](int boxes) {
        const QString vanished = QStringLiteral("通信端口已断开，请检查无线适配器");
        QTRY_COMPARE(fx.status(), vanished);
        QVERIFY(!fx.portOpen());
        QVERIFY(!fx.get<QTimer>("Timer1")->isActive());
        QCOMPARE(fx.boxes.messages().size(), boxes);
        fx.boxes.clear();
    };
    QVERIFY(fx.open(0));
    fx.click("cmdStart");
    fx.car1.vanish();
    gone(0);

    // The adapter comes back under a new name, as a re-plugged USB adapter may.
    PtyPair back;
    const ScopedEnv com1("SMARTCAR_COM1", back.slavePath().toLocal8Bit());
    fx.click("cmdOpenCOM");
    fx.click("cmdStart");
    back.write(QByteArray(1, '\x05'));
    QTRY_COMPARE(fx.get<QLabel>("lblValue")->text(), QStringLiteral("05R/Min"));

    // The car floods the line at 100 kB/s, whatever the line cannot take lost: a click still
    // reaches the car, and once the line has been read empty a single reading shows again.
    QTimer flood;
    flood.callOnTimeout([&] { back.offer(QByteArray(1000, 'A')); });
    flood.start(10);
    auto* port = fx.get<smartcar::CommPort>("MSComm1");
    QTRY_VERIFY(port->inBufferCount() > 0 && back.waitingAtConsole() > 0); // backed up
    fx.get<QAbstractButton>("Check1")->click();
    QCOMPARE(back.read(1, 3s), QByteArray("\x88"));
    flood.stop();
    QTRY_VERIFY_WITH_TIMEOUT(back.waitingAtConsole() == 0 && port->inBufferCount() == 0, 30000);
    back.write(QByteArray(1, '\x0A'));
    QTRY_COMPARE(fx.get<QLabel>("lblValue")->text(), QStringLiteral("10R/Min"));
    QVERIFY(fx.boxes.messages().isEmpty());

    // Gone again while a turn holds the console: the centring frame fails.
    fx.edit("ChangeTime")->setText(QStringLiteral("300"));
    std::thread car([&] {
        back.read(1, 3s); // the turn frame
        back.vanish();
    });
    fx.click("Left");
    car.join();
    gone(1);
}

QTEST_MAIN(TestEndurance)
#include "test_endurance.moc"
