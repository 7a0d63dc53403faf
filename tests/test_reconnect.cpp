// An adapter pulled out and put back: the console opens the same device again by itself,
// never another one, sends nothing on its own, and greys the last reading meanwhile.
// A pseudo-terminal's own path is never waited for (the console says the line is gone); a car
// that floods the line still gets its frames. Which device counts as the same: test_serial.
#include "serial/reconnect.h"
#include "support/consolefixture.h"

#include <QFile>
#include <QTimer>

#include <thread>

namespace smartcar {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
const QString kWaiting = u"通信端口已断开，等待适配器重新插入…（选择其他端口可取消）"_s;
const QString kStopped = u"已停止通信并关闭通讯端口"_s;
const QString kGone = u"通信端口已断开，请检查无线适配器"_s;
const QColor kReadingRed(255, 0, 0);

enum class GivingUp { PickAnother, Initialise, UnplugInChangeWait };

// A car reached through a link of its own, as udev's by-id names reach an adapter.
struct LinkedCar
{
    QTemporaryDir links;
    QString link = links.filePath(u"car"_s);
    PtyPair car;
    bool linked = QFile::link(car.slavePath(), link);
};

QColor colourOf(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}
} // namespace

class TestReconnect : public QObject
{
    Q_OBJECT
private slots:
    void sameLinkBackOtherPathLeftAlone_data()
    {
        QTest::addColumn<bool>("monitoring"); // when the adapter went
        QTest::newRow("monitoringResumes") << true;
        QTest::newRow("monitoringStaysOff") << false;
    }

    void sameLinkBackOtherPathLeftAlone()
    {
        QFETCH(bool, monitoring);
        LinkedCar linked;
        QVERIFY(linked.linked);
        const QString& link = linked.link;
        ConsoleFixture fx;
        fx.mapPort(6, link);
        auto* timer = fx.get<QTimer>("Timer1");
        auto* value = fx.get<QLabel>("lblValue");
        QVERIFY(fx.open(5));
        fx.click("cmdStart");
        linked.car.write(QByteArray(1, '\x3C'));
        QTRY_COMPARE(value->text(), u"60R/Min"_s);
        if (!monitoring)
            fx.click("cmdStart");

        linked.car.vanish();
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE(fx.status(), kWaiting);
        QVERIFY(!fx.portOpen());
        QVERIFY(!timer->isActive());
        QCOMPARE(value->text(), u"60R/Min"_s);
        QVERIFY(colourOf(value) != kReadingRed);
        // Cold brake on the closed port says so, and is not sent once the car is back.
        fx.click("Stop");
        QCOMPARE(fx.boxes.texts(), QStringList{Failure::portNotOpen().describe()});

        // Another device appears, and the entry's lookup now finds it: it is not the one that went.
        // What comes to the old path cannot be opened; the console says so and looks on.
        PtyPair elsewhere;
        fx.mapPort(6, elsewhere.slavePath());
        QVERIFY(QFile(link).open(QIODevice::WriteOnly)); // no terminal
        QTRY_VERIFY(fx.status().startsWith(u"重新连接失败：无法打开设备 "_s + link));
        QVERIFY(!fx.portOpen());
        QCOMPARE(fx.boxes.texts().size(), 1);

        // The car's own link comes back, on a new pseudo-terminal.
        PtyPair back;
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link(back.slavePath(), link));
        QTRY_COMPARE(fx.status(), u"已重新连接 "_s + link);
        QVERIFY(fx.portOpen());
        QVERIFY(!fx.button("cmdOpenCOM")->isEnabled());
        QCOMPARE(timer->isActive(), monitoring);
        QCOMPARE(fx.button("cmdStart")->text(), monitoring ? u"停止检测"_s : u"开始检测"_s);
        if (monitoring) {
            back.write(QByteArray(1, '\x05'));
            QTRY_COMPARE(value->text(), u"05R/Min"_s);
        }
        QCOMPARE(colourOf(value) == kReadingRed, monitoring);
        // Nothing sent by itself.
        QCOMPARE(back.drain(), QByteArray());
        QCOMPARE(elsewhere.drain(), QByteArray());
        fx.click("Stop");
        QCOMPARE(back.read(), QByteArray(1, '\x87'));
        QCOMPARE(fx.boxes.texts().size(), 1);
    }

    // The car's program is killed outright and leaves its link behind, leading to a name that
    // now belongs to someone else's terminal: the console keeps waiting and sends nothing there.
    void linkLeftBehindNotFollowedToAnotherTerminal()
    {
        QTemporaryDir links;
        PtyPair car;
        PtyPair someoneElse;
        const QString name = links.filePath(u"pts-name"_s); // stands for the terminal's number
        const QString link = links.filePath(u"car"_s);
        QVERIFY(QFile::link(car.slavePath(), name));
        QVERIFY(QFile::link(name, link));
        ConsoleFixture fx;
        fx.mapPort(6, link);
        QVERIFY(fx.open(5));
        car.vanish();
        QTRY_COMPARE(fx.status(), kWaiting);
        QVERIFY(QFile::remove(name));
        QVERIFY(QFile::link(someoneElse.slavePath(), name));
        QTest::qWait(3 * int(Reconnect::kLookInterval.count())); // a few looks go by
        QVERIFY(!fx.portOpen());
        QCOMPARE(fx.status(), kWaiting);
        fx.click("Stop");
        QVERIFY(someoneElse.drain().isEmpty());
    }

    void operatorGivesUpWaiting_data()
    {
        QTest::addColumn<GivingUp>("how");
        QTest::addColumn<QString>("status");
        QTest::newRow("anotherEntryPicked") << GivingUp::PickAnother << kStopped;
        QTest::newRow("initialisedWithTheWaitingEntryFirst") << GivingUp::Initialise << kGone;
        QTest::newRow("unpluggedWhileAnotherEntryIsBeingPicked")
            << GivingUp::UnplugInChangeWait << kStopped;
    }

    void operatorGivesUpWaiting()
    {
        QFETCH(GivingUp, how);
        QFETCH(QString, status);
        LinkedCar linked;
        QVERIFY(linked.linked);
        ConsoleFixture fx;
        fx.mapPort(1, linked.link);
        auto* reconnect = fx.get<Reconnect>("reconnect");
        QVERIFY(fx.open(0));

        if (how == GivingUp::UnplugInChangeWait) {
            // The change step's wait lasts until this step has seen the console start waiting.
            later(0, [&] {
                linked.car.vanish();
                QTRY_VERIFY(reconnect->isWaiting());
            });
            fx.pick(1);
            QVERIFY(!linked.car.isValid());
        } else {
            linked.car.vanish();
            QTRY_VERIFY(reconnect->isWaiting());
            how == GivingUp::Initialise ? fx.action("Int")->trigger() : fx.pick(1);
        }
        QVERIFY(!reconnect->isWaiting());
        QVERIFY(!fx.portOpen());
        QCOMPARE(fx.status(), status);
    }

    // The car's adapter has no link of its own: it floods the line, then vanishes while a turn
    // holds the console, and its pseudo-terminal's path is not waited for.
    void floodedThenUnpluggedInATurn()
    {
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.click("cmdStart");
        // At 100 kB/s, whatever the line cannot take lost: a click still reaches the car, and once
        // the line has been read empty a single reading shows again.
        QTimer flood;
        flood.callOnTimeout([&] { fx.car1.offer(QByteArray(1000, 'A')); });
        flood.start(10);
        auto* port = fx.get<CommPort>("MSComm1");
        QTRY_VERIFY(port->inBufferCount() > 0 && fx.car1.waitingAtConsole() > 0); // backed up
        fx.get<QAbstractButton>("Check1")->click();
        QCOMPARE(fx.car1.read(1, 3s), QByteArray("\x88"));
        flood.stop();
        QTRY_VERIFY_WITH_TIMEOUT(fx.car1.waitingAtConsole() == 0 && port->inBufferCount() == 0,
                                 30000);
        fx.car1.write(QByteArray(1, '\x0A'));
        QTRY_COMPARE(fx.get<QLabel>("lblValue")->text(), QStringLiteral("10R/Min"));

        // The centring frame fails: one box, and the loss said once.
        fx.edit("ChangeTime")->setText(QStringLiteral("300"));
        std::thread car([&] {
            fx.car1.read(1, 3s); // the turn frame
            fx.car1.vanish();
        });
        fx.click("Left");
        car.join();
        QTRY_COMPARE(fx.status(), kGone);
        QVERIFY(!fx.portOpen());
        QVERIFY(!fx.get<QTimer>("Timer1")->isActive());
        QVERIFY(fx.button("cmdOpenCOM")->isEnabled());
        QCOMPARE(fx.boxes.messages().size(), 1);
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestReconnect)
#include "test_reconnect.moc"
