// Speed monitoring through the real window: a pseudo-terminal car sends bytes, Timer1 ticks
// for real, and the test reads what lblValue, LED1 and the status panel show.
#include "console/shape.h"
#include "serial/commport.h"
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>

#include <functional>
#include <utility>

using namespace smartcar;

namespace {
const QColor kGrey(224, 224, 224);
const QColor kGreen(0, 255, 0);

// The console with COM1 open and an eye on Timer1. A tick begins with the timer's event
// (seen here before the console handles it) and ends when the timeout signal reaches this
// watcher, which is connected after the console's own handler.
class Rig : public QObject
{
public:
    Rig()
    {
        timer = fx.get<QTimer>("Timer1");
        value = fx.get<QLabel>("lblValue");
        timer->installEventFilter(this);
        connect(timer, &QTimer::timeout, this, [this] {
            ++finished;
            lastTickNs = m_tickClock.nsecsElapsed();
        });
        fx.open(0);
    }

    CommPort* port() const { return fx.get<CommPort>("MSComm1"); }
    QColor lamp() const { return fx.get<Shape>("LED1")->fillColor(); }
    void set(const char* box, const QString& text) { fx.edit(box)->setText(text); }
    void startMonitoring()
    {
        if (!timer->isActive())
            fx.click("cmdStart");
    }
    // Bytes already in the console's receive buffer before monitoring starts.
    bool preload(const QByteArray& b)
    {
        fx.car1.write(b);
        return QTest::qWaitFor([&] { return port()->inBufferCount() == b.size(); });
    }
    bool waitTicks(int n)
    {
        const int target = finished + n;
        return QTest::qWaitFor([&] { return finished >= target; });
    }
    // Sends bytes while monitoring. The tick that starts next may run before the line's
    // notifier has filled the buffer; the one after that has read them for sure.
    bool feed(PtyPair& car, const QByteArray& b)
    {
        car.write(b);
        return waitTicks(2);
    }

    ConsoleFixture fx;
    QTimer* timer = nullptr;
    QLabel* value = nullptr;
    int finished = 0;
    qint64 lastTickNs = -1;
    std::function<void()> atFirstTick;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Timer) {
            m_tickClock.start();
            if (atFirstTick)
                std::exchange(atFirstTick, {})();
        }
        return false;
    }

private:
    QElapsedTimer m_tickClock;
};
} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void startAndStopSwitchTheTimer();
    void tickShowsAndAlarms_data();
    void tickShowsAndAlarms();
    void tickLastsTheSamplingInterval_data();
    void tickLastsTheSamplingInterval();
    void failingTickReportsInStatusAndRecovers_data();
    void failingTickReportsInStatusAndRecovers();
    void tickKeptWaitingNeverHoldsBackNewerReadings();
    void boxRaisedInATickNeverHoldsItsWait();
    void tickSurvivesWhatHappensInItsWait_data();
    void tickSurvivesWhatHappensInItsWait();
};

void TestMonitor::startAndStopSwitchTheTimer()
{
    Rig rig;
    QLabel* banner = rig.fx.get<QLabel>("Label6");
    rig.fx.click("cmdStart");
    QVERIFY(rig.timer->isActive());
    QCOMPARE(rig.fx.button("cmdStart")->text(), QStringLiteral("停止检测"));
    QCOMPARE(rig.fx.status(), QStringLiteral("智能车连接成功"));
    QCOMPARE(banner->text(), QStringLiteral("欢迎使用"));

    banner->setText(QStringLiteral("marker")); // stopping must leave the banner alone
    rig.fx.click("cmdStart");
    QVERIFY(!rig.timer->isActive());
    QCOMPARE(rig.fx.button("cmdStart")->text(), QStringLiteral("开始检测"));
    QCOMPARE(rig.fx.status(), QStringLiteral("智能车已断开连接"));
    QCOMPARE(banner->text(), QStringLiteral("marker"));
}

void TestMonitor::tickShowsAndAlarms_data()
{
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("caption"); // empty: the caption before the tick stays
    QTest::addColumn<bool>("lit");
    QTest::newRow("zeroUnderNonNumberAlarmStaysDark")
        << "abc" << bytes({ 0x00 }) << "00R/Min" << false;
    QTest::newRow("oneAboveEmptyAlarmLights") << "" << bytes({ 0x01 }) << "01R/Min" << true;
    QTest::newRow("singleDigitGetsLeadingZero") << "40" << bytes({ 0x05 }) << "05R/Min" << false;
    QTest::newRow("tenInDecimal") << "40" << bytes({ 0x0A }) << "10R/Min" << false;
    QTest::newRow("equalSpeedStaysDark") << "40" << bytes({ 0x28 }) << "40R/Min" << false;
    QTest::newRow("oneAboveLights") << "40" << bytes({ 0x29 }) << "41R/Min" << true;
    QTest::newRow("hexDigitsBelowAlarmTextStillLight")
        << "40" << bytes({ 0x3C }) << "60R/Min" << true;
    QTest::newRow("textAboveButSpeedBelowStaysDark")
        << "100" << bytes({ 0x20 }) << "32R/Min" << false;
    QTest::newRow("topByte") << "40" << bytes({ 0xFF }) << "255R/Min" << true;
    QTest::newRow("negativeAlarmLightsAnyReading") << "-5" << bytes({ 0x00 }) << "00R/Min" << true;
    QTest::newRow("twoBytesChangeNothing") << "40" << bytes({ 0xFF, 0xFF }) << "" << false;
    QTest::newRow("nothingWaitingChangesNothing") << "-5" << QByteArray() << "" << false;
}

void TestMonitor::tickShowsAndAlarms()
{
    QFETCH(QString, alarm);
    QFETCH(QByteArray, received);
    QFETCH(QString, caption);
    QFETCH(bool, lit);
    Rig rig;
    rig.set("MaxSpeed", QStringLiteral("255"));
    rig.startMonitoring();
    QVERIFY(rig.feed(rig.fx.car1, bytes({ 0x63 })));
    QCOMPARE(rig.value->text(), QStringLiteral("99R/Min"));

    rig.set("MaxSpeed", alarm);
    QVERIFY(rig.feed(rig.fx.car1, received));
    QCOMPARE(rig.value->text(), caption.isEmpty() ? QStringLiteral("99R/Min") : caption);
    QCOMPARE(rig.lamp(), lit ? kGreen : kGrey);
    QCOMPARE(rig.port()->inBufferCount(), 0);

    // A slow reading afterwards neither darkens a lit lamp nor lights a dark one, and the
    // label shrinks back to its shorter caption.
    rig.set("MaxSpeed", QStringLiteral("255"));
    QVERIFY(rig.feed(rig.fx.car1, bytes({ 0x05 })));
    QCOMPARE(rig.value->text(), QStringLiteral("05R/Min"));
    QCOMPARE(rig.lamp(), lit ? kGreen : kGrey);
    QCOMPARE(rig.value->size(), rig.value->sizeHint());
    QVERIFY(rig.fx.boxes.messages().isEmpty());
}

void TestMonitor::tickLastsTheSamplingInterval_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("atLeastMs");
    QTest::newRow("halfAboveGoesUpToEven") << "11.5" << bytes({ 0x3C }) << 12;
    QTest::newRow("nothingWaitingStillWaits") << "150" << QByteArray() << 150;
    QTest::newRow("negativeDoesNotWait") << "-20" << bytes({ 0x3C }) << 0;
}

void TestMonitor::tickLastsTheSamplingInterval()
{
    QFETCH(QString, interval);
    QFETCH(QByteArray, received);
    QFETCH(int, atLeastMs);
    Rig rig;
    rig.set("delaytime", interval);
    if (!received.isEmpty())
        QVERIFY(rig.preload(received));
    rig.startMonitoring();
    QVERIFY(rig.waitTicks(1));
    QVERIFY2(
        rig.lastTickNs >= qint64(atLeastMs) * 1000000, qPrintable(QString::number(rig.lastTickNs)));
    QCOMPARE(rig.value->text(), received.isEmpty() ? QString() : QStringLiteral("60R/Min"));
}

void TestMonitor::failingTickReportsInStatusAndRecovers_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<bool>("portClosed");
    QTest::addColumn<QString>("status");
    QTest::newRow("letterInInterval")
        << "1O" << false << "接收失败：类型不匹配：「采样间隔」不是数字";
    QTest::newRow("intervalAboveTenSecondsNotWaited")
        << "10001" << false << "接收失败：「采样间隔」超出范围：0 到 10000 毫秒";
    QTest::newRow("intervalBeyond32Bits")
        << "2147483648" << false << "接收失败：溢出：「采样间隔」超出允许的范围";
    QTest::newRow("portClosedByPortChange")
        << "10" << true << "接收失败：端口未打开：通信端口未打开，请先单击【打开端口】";
}

void TestMonitor::failingTickReportsInStatusAndRecovers()
{
    QFETCH(QString, interval);
    QFETCH(bool, portClosed);
    QFETCH(QString, status);
    Rig rig;
    rig.set("delaytime", interval);
    rig.startMonitoring();
    if (portClosed) {
        rig.fx.pick(1); // stops the timer and closes the port; cmdStart stays enabled
        rig.fx.click("cmdStart");
    }
    QVERIFY(rig.feed(rig.fx.car1, bytes({ 0x3C })));
    QVERIFY(rig.waitTicks(3)); // repeated failures still make no box
    QCOMPARE(rig.fx.status(), status);
    QVERIFY(rig.fx.boxes.messages().isEmpty());
    QVERIFY(rig.timer->isActive());
    QCOMPARE(rig.value->text(), QString());
    if (!portClosed)
        QCOMPARE(rig.port()->inBufferCount(), 0); // read before the failing step

    // The cause gone, the very next ticks work again.
    PtyPair* car = &rig.fx.car1;
    if (portClosed) {
        rig.fx.click("cmdOpenCOM");
        car = &rig.fx.car2;
    } else {
        rig.set("delaytime", QStringLiteral("10"));
    }
    QVERIFY(rig.feed(*car, bytes({ 0x0A })));
    QCOMPARE(rig.value->text(), QStringLiteral("10R/Min"));
    QCOMPARE(rig.fx.status(), QStringLiteral("智能车连接成功"));
}

void TestMonitor::tickKeptWaitingNeverHoldsBackNewerReadings()
{
    Rig rig;
    Form1* form = rig.fx.form();
    rig.set("delaytime", QStringLiteral("600"));
    QVERIFY(rig.preload(bytes({ 0x0A })));
    // While the first tick waits, the interval is corrected and a newer reading comes in;
    // the tick run then (as a restarted timer would run it) shows it at once.
    later(50, [&] {
        rig.set("delaytime", QStringLiteral("0"));
        QVERIFY(rig.preload(bytes({ 0x3C })));
        form->run([form] { form->Timer1_Timer(); });
        QCOMPARE(rig.value->text(), QStringLiteral("60R/Min"));
    });
    form->run([form] { form->Timer1_Timer(); });
    QCOMPARE(rig.value->text(), QStringLiteral("60R/Min")); // not covered by the older 10
}

void TestMonitor::boxRaisedInATickNeverHoldsItsWait()
{
    Rig rig;
    // Real boxes here: a box that blocks its handler holds the tick whose wait it ran in.
    const MessageSink recorder = setMessageSink({});
    const auto restore = qScopeGuard([&] { setMessageSink(recorder); });
    const auto shownBoxes = [] {
        QList<QMessageBox*> shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                shown << box;
        return shown;
    };
    // Hang guard only: a blocking box would otherwise keep this test waiting for good.
    later(15000, [&] {
        for (QMessageBox* box : shownBoxes())
            box->close();
    });

    rig.set("delaytime", QStringLiteral("90"));
    rig.set("NewSpeed", QStringLiteral("250"));
    rig.atFirstTick = [&] { later(20, [&] { rig.fx.click("Advanced"); }); };
    rig.startMonitoring();
    QTRY_COMPARE(shownBoxes().size(), 1);
    QVERIFY(rig.feed(rig.fx.car1, bytes({ 0x3C })));
    QCOMPARE(rig.value->text(), QStringLiteral("60R/Min"));

    rig.set("NewSpeed", QStringLiteral("abc")); // a second failure while the box is up
    rig.fx.click("Advanced");
    QCOMPARE(shownBoxes().size(), 1);
    QCOMPARE(shownBoxes().first()->text(), QStringLiteral("类型不匹配：「更新速度」不是数字"));
    shownBoxes().first()->close();
}

void TestMonitor::tickSurvivesWhatHappensInItsWait_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("monitoringStopped") << "cmdStart";
    QTest::newRow("portChanged") << "cmbCOM";
    QTest::newRow("windowExited") << "Exit";
}

void TestMonitor::tickSurvivesWhatHappensInItsWait()
{
    QFETCH(QString, control);
    Rig rig;
    rig.set("delaytime", QStringLiteral("300"));
    QVERIFY(rig.preload(bytes({ 0xFF })));
    rig.atFirstTick = [&] {
        later(50, [&] {
            if (control == "cmdStart")
                rig.fx.click("cmdStart");
            else if (control == "cmbCOM")
                rig.fx.pick(1);
            else
                rig.fx.action("Exit")->trigger();
        });
    };
    rig.startMonitoring();
    if (control == "Exit") {
        QTRY_VERIFY(!rig.fx.alive());
        QVERIFY(rig.fx.boxes.messages().isEmpty());
        return;
    }
    QVERIFY(rig.waitTicks(1));
    QCOMPARE(rig.value->text(), QStringLiteral("255R/Min"));
    QCOMPARE(rig.lamp(), kGreen);
    QVERIFY(!rig.timer->isActive());
    QCOMPARE(rig.fx.portOpen(), control != "cmbCOM");
    QVERIFY(!rig.fx.status().startsWith(QStringLiteral("接收失败")));
    QVERIFY(rig.fx.boxes.messages().isEmpty());
}

QTEST_MAIN(TestMonitor)
#include "test_monitor.moc"
