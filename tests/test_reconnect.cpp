// An adapter pulled out and put back: the console opens the same device again by itself,
// never another one, sends nothing on its own, and greys the last reading meanwhile.
// Which device counts as the same one: test_devicematch.
#include "serial/commport.h"
#include "serial/reconnect.h"
#include "support/consolefixture.h"

#include <QFile>
#include <QTimer>

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {
const QString kWaiting = u"通信端口已断开，等待适配器重新插入…（选择其他端口可取消）"_s;
const QString kStopped = u"已停止通信并关闭通讯端口"_s;
const QColor kReadingRed(255, 0, 0);

enum class GivingUp { PickAnother, Initialise, UnplugInChangeWait };

QColor colourOf(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}
} // namespace

Q_DECLARE_METATYPE(GivingUp)

class TestReconnect : public QObject
{
    Q_OBJECT
private slots:
    void sameLinkBackOtherPathLeftAlone_data();
    void sameLinkBackOtherPathLeftAlone();
    void operatorGivesUpWaiting_data();
    void operatorGivesUpWaiting();
};

void TestReconnect::sameLinkBackOtherPathLeftAlone_data()
{
    QTest::addColumn<bool>("monitoring"); // when the adapter went
    QTest::newRow("monitoringResumes") << true;
    QTest::newRow("monitoringStaysOff") << false;
}

void TestReconnect::sameLinkBackOtherPathLeftAlone()
{
    QFETCH(bool, monitoring);
    QTemporaryDir links;
    const QString link = links.filePath(u"car"_s);
    PtyPair first;
    QVERIFY(QFile::link(first.slavePath(), link));
    const ScopedEnv com6("SMARTCAR_COM6", link.toLocal8Bit());
    ConsoleFixture fx;
    auto* timer = fx.get<QTimer>("Timer1");
    auto* value = fx.get<QLabel>("lblValue");
    QVERIFY(fx.open(5));
    fx.click("cmdStart");
    first.write(QByteArray(1, '\x3C'));
    QTRY_COMPARE(value->text(), u"60R/Min"_s);
    if (!monitoring)
        fx.click("cmdStart");

    first.vanish();
    QVERIFY(QFile::remove(link));
    QTRY_COMPARE(fx.status(), kWaiting);
    QVERIFY(!fx.portOpen() && !timer->isActive());
    QVERIFY(value->text() == u"60R/Min"_s && colourOf(value) != kReadingRed);
    // Cold brake on the closed port says so, as before any reconnect.
    fx.click("Stop");
    QCOMPARE(fx.boxes.texts(), QStringList{Failure::portNotOpen().describe()});

    // Another device appears, and the entry's lookup now finds it: it is not the one that went.
    // What comes to the old path cannot be opened; the console says so and looks on.
    PtyPair elsewhere;
    const QString other = links.filePath(u"other"_s);
    QVERIFY(QFile::link(elsewhere.slavePath(), other));
    const ScopedEnv lookupFindsOther("SMARTCAR_COM6", other.toLocal8Bit());
    QFile notATerminal(link);
    QVERIFY(notATerminal.open(QIODevice::WriteOnly));
    notATerminal.close();
    QTRY_VERIFY(fx.status().startsWith(u"重新连接失败：无法打开设备 "_s + link));
    QVERIFY(!fx.portOpen() && fx.boxes.texts().size() == 1);

    // The car's own link comes back, on a new pseudo-terminal.
    PtyPair back;
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(back.slavePath(), link));
    QTRY_COMPARE(fx.status(), u"已重新连接 "_s + link);
    QVERIFY(fx.portOpen() && !fx.button("cmdOpenCOM")->isEnabled());
    QCOMPARE(timer->isActive(), monitoring);
    QCOMPARE(fx.button("cmdStart")->text(), monitoring ? u"停止检测"_s : u"开始检测"_s);
    if (monitoring) {
        back.write(QByteArray(1, '\x05'));
        QTRY_COMPARE(value->text(), u"05R/Min"_s);
        QCOMPARE(colourOf(value), kReadingRed);
    } else {
        QVERIFY(colourOf(value) != kReadingRed);
    }
    QVERIFY(back.drain().isEmpty() && elsewhere.drain().isEmpty()); // nothing sent by itself
    fx.click("Stop");
    QCOMPARE(back.read(), QByteArray(1, '\x87'));
    QCOMPARE(fx.boxes.texts().size(), 1);
}

void TestReconnect::operatorGivesUpWaiting_data()
{
    QTest::addColumn<GivingUp>("how");
    QTest::addColumn<QString>("status");
    QTest::newRow("anotherEntryPicked") << GivingUp::PickAnother << kStopped;
    QTest::newRow("initialisedWithTheWaitingEntryFirst")
        << GivingUp::Initialise << u"通信端口已断开，请检查无线适配器"_s;
    QTest::newRow("unpluggedWhileAnotherEntryIsBeingPicked")
        << GivingUp::UnplugInChangeWait << kStopped;
}

void TestReconnect::operatorGivesUpWaiting()
{
    QFETCH(GivingUp, how);
    QFETCH(QString, status);
    QTemporaryDir links;
    const QString link = links.filePath(u"car"_s);
    PtyPair car;
    QVERIFY(QFile::link(car.slavePath(), link));
    ConsoleFixture fx;
    const ScopedEnv com1("SMARTCAR_COM1", link.toLocal8Bit());
    auto* reconnect = fx.get<Reconnect>("reconnect");
    QVERIFY(fx.open(0));

    switch (how) {
    case GivingUp::PickAnother:
    case GivingUp::Initialise:
        car.vanish();
        QTRY_VERIFY(reconnect->isWaiting());
        how == GivingUp::Initialise ? fx.action("Int")->trigger() : fx.pick(1);
        break;
    case GivingUp::UnplugInChangeWait:
        // The change step's wait lasts until this step has seen the console start waiting.
        later(0, [&] {
            car.vanish();
            QTRY_VERIFY(reconnect->isWaiting());
        });
        fx.pick(1);
        QVERIFY(!car.isValid());
        break;
    }
    QVERIFY(!reconnect->isWaiting() && !fx.portOpen());
    QCOMPARE(fx.status(), status);
}

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
