// Speed monitoring through the real window, Timer1 ticking for real. What a reading shows and
// whether it lights the lamp is tested in test_core.
#include "console/shape.h"
#include "serial/commport.h"
#include "support/bytes.h"
#include "support/consolefixture.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>

using namespace smartcar;

namespace {
const QString kConnected = QStringLiteral("智能车连接成功");

// The console with COM1 open, counting finished ticks (connected after the console's handler).
struct Rig : ConsoleFixture
{
    Rig()
    {
        QObject::connect(timer, &QTimer::timeout, timer, [this] { ++ticks; });
        open(0);
    }
    QString shown() const { return get<QLabel>("lblValue")->text(); }
    bool lit() const { return get<Shape>("LED1")->fillColor() == QColor(0, 255, 0); }
    int buffered() const { return get<CommPort>("MSComm1")->inBufferCount(); }
    // Writes `b` and waits for two ticks: the second has read the bytes for sure.
    bool feed(const QByteArray& b, PtyPair* car = nullptr)
    {
        (car ? car : &car1)->write(b);
        const int target = ticks + 2;
        return QTest::qWaitFor([&] { return ticks >= target; });
    }
    QTimer* timer = get<QTimer>("Timer1");
    int ticks = 0;
};
} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void tickWaitsOrReportsItsInterval_data();
    void tickWaitsOrReportsItsInterval();
    void readingsGoOnUnderABoxRaisedInATick();
    void tickSurvivesWhatHappensInItsWait_data();
    void tickSurvivesWhatHappensInItsWait();
};

void TestMonitor::tickWaitsOrReportsItsInterval_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<bool>("portClosed");
    QTest::addColumn<QString>("failure"); // empty: the tick works
    QTest::addColumn<int>("atLeastMs");   // for two ticks
    QTest::newRow("nothingWaitingStillWaits") << "250" << false << "" << 500;
    QTest::newRow("negativeDoesNotWait") << "-20" << false << "" << 0;
    QTest::newRow("letterInInterval") << "1O" << false << "类型不匹配：「采样间隔」不是数字" << 0;
    QTest::newRow("intervalAboveTenSecondsNotWaited")
        << "10001" << false << "「采样间隔」超出范围：0 到 10000 毫秒" << 0;
    QTest::newRow("portClosedByPortChange")
        << "10" << true << "端口未打开：通信端口未打开，请先单击【打开端口】" << 0;
}

void TestMonitor::tickWaitsOrReportsItsInterval()
{
    QFETCH(QString, interval);
    QFETCH(bool, portClosed);
    QFETCH(QString, failure);
    QFETCH(int, atLeastMs);
    Rig rig;
    rig.edit("delaytime")->setText(interval);
    rig.click("cmdStart");
    if (portClosed) {
        rig.pick(1); // stops the timer and closes the port; cmdStart stays enabled
        rig.click("cmdStart");
    }
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.feed({}));
    QVERIFY(clock.elapsed() >= atLeastMs);

    // Failing again and again makes no box; the byte is read before the failing step.
    QVERIFY(rig.feed(bytes({0x3C})));
    QCOMPARE(rig.shown(), failure.isEmpty() ? QStringLiteral("60R/Min") : QString());
    QCOMPARE(rig.status(), failure.isEmpty() ? kConnected : QStringLiteral("接收失败：") + failure);
    QVERIFY(rig.boxes.messages().isEmpty());
    QVERIFY(rig.timer->isActive());
    if (!portClosed)
        QCOMPARE(rig.buffered(), 0);

    // The cause gone, the very next ticks work again.
    rig.edit("delaytime")->setText(QStringLiteral("10"));
    if (portClosed)
        rig.click("cmdOpenCOM");
    QVERIFY(rig.feed(bytes({0x0A}), portClosed ? &rig.car2 : nullptr));
    QCOMPARE(rig.shown(), QStringLiteral("10R/Min"));
    QCOMPARE(rig.status(), kConnected);
}

void TestMonitor::readingsGoOnUnderABoxRaisedInATick()
{
    Rig rig;
    const MessageSink recorder = setMessageSink({}); // real boxes: one that blocked would hold
    const auto restore = qScopeGuard([&] { setMessageSink(recorder); }); // the tick's wait
    const auto shownBoxes = [&] { return rig.form()->findChildren<QMessageBox*>(); };
    later(15000, [&] { qDeleteAll(shownBoxes()); }); // hang guard only
    rig.edit("delaytime")->setText(QStringLiteral("300"));
    rig.edit("NewSpeed")->setText(QStringLiteral("250"));
    rig.click("cmdStart");
    later(200, [&] { // inside the first tick's wait
        rig.click("Advanced");
        rig.edit("delaytime")->setText(QStringLiteral("10"));
    });
    QTRY_COMPARE(shownBoxes().size(), 1);
    // Two readings run together show nothing, a slow reading never darkens the lamp, and the
    // caption shrinks back. (The alarm speed is 40.)
    using Step = std::tuple<QByteArray, const char*, bool>;
    for (const auto& [received, shown, lit] :
         {Step{bytes({0x28}), "40R/Min", false}, Step{bytes({0xFF, 0xFF}), "40R/Min", false},
          Step{bytes({0xFF}), "255R/Min", true}, Step{bytes({0x05}), "05R/Min", true}}) {
        QVERIFY(rig.feed(received));
        QCOMPARE(rig.shown(), QString::fromLatin1(shown));
        QCOMPARE(rig.lit(), lit);
        QCOMPARE(rig.buffered(), 0);
    }
    QCOMPARE(rig.get<QLabel>("lblValue")->size(), rig.get<QLabel>("lblValue")->sizeHint());

    rig.edit("NewSpeed")->setText(QStringLiteral("abc")); // a second failure while the box is up
    rig.click("Advanced");
    QCOMPARE(shownBoxes().size(), 1);
    QCOMPARE(shownBoxes().first()->text(), QStringLiteral("类型不匹配：「更新速度」不是数字"));
    shownBoxes().first()->close();
}

void TestMonitor::tickSurvivesWhatHappensInItsWait_data()
{
    QTest::addColumn<QString>("controls"); // clicked inside the first tick's wait
    QTest::addColumn<QString>("status");   // empty: the window is gone
    QTest::newRow("monitoringStopped") << "cmdStart" << "智能车已断开连接";
    // The restarted timer ticks inside the wait; the older reading never covers its newer one.
    QTest::newRow("monitoringRestarted") << "cmdStart cmdStart" << "智能车连接成功";
    QTest::newRow("portChanged") << "cmbCOM" << "已停止通信并关闭通讯端口";
    QTest::newRow("windowExited") << "Exit" << "";
}

void TestMonitor::tickSurvivesWhatHappensInItsWait()
{
    QFETCH(QString, controls);
    QFETCH(QString, status);
    const bool restarted = controls == QLatin1String("cmdStart cmdStart");
    Rig rig;
    QLabel* banner = rig.get<QLabel>("Label6");
    rig.edit("delaytime")->setText(QStringLiteral("300"));
    rig.car1.write(bytes({0xFF}));
    QTRY_COMPARE(rig.buffered(), 1);
    rig.click("cmdStart");
    QCOMPARE(banner->text(), QStringLiteral("欢迎使用"));
    banner->setText(QStringLiteral("marker")); // only starting puts the welcome back
    later(200, [&] {
        for (const QString& c : controls.split(QLatin1Char(' ')))
            c == "Exit" ? rig.action("Exit")->trigger()
                        : (c == "cmbCOM" ? rig.pick(1) : rig.click("cmdStart"));
        rig.car1.write(bytes({0x3C}));
    });
    QVERIFY(QTest::qWaitFor([&] { return !rig.alive() || rig.ticks > 0; }));
    QVERIFY(rig.boxes.messages().isEmpty());
    QCOMPARE(rig.alive(), !status.isEmpty());
    if (!rig.alive())
        return;
    QCOMPARE(rig.shown(), restarted ? QStringLiteral("60R/Min") : QStringLiteral("255R/Min"));
    QVERIFY(rig.lit());
    QCOMPARE(rig.timer->isActive(), restarted);
    QCOMPARE(rig.portOpen(), controls != QLatin1String("cmbCOM"));
    QCOMPARE(rig.status(), status);
    QCOMPARE(banner->text(), restarted ? QStringLiteral("欢迎使用") : QStringLiteral("marker"));
    if (controls.startsWith(QLatin1String("cmdStart")))
        QCOMPARE(rig.button("cmdStart")->text(), restarted ? u"停止检测" : u"开始检测");
}

QTEST_MAIN(TestMonitor)
#include "test_monitor.moc"
