// Monitoring through the real window, Timer1 ticking for real. Readings and the lamp: test_core.
#include "console/shape.h"
#include "serial/commport.h"
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QMessageBox>
#include <QTimer>

using namespace smartcar;
using namespace Qt::StringLiterals;

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
    bool feed(const QByteArray& b, PtyPair* car = nullptr) // two ticks: the second reads `b`
    {
        (car ? car : &car1)->write(b);
        const int target = ticks + 2;
        return QTest::qWaitFor([&] { return ticks >= target; });
    }
    // Runs `step` once the first tick has read what was waiting, that is inside its wait.
    void inFirstTicksWait(std::function<void()> step)
    {
        auto* poll = new QTimer(timer); // goes with the window
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, step] {
            if (buffered() != 0)
                return;
            delete poll;
            stepRanInWait = ticks == 0;
            step();
        });
        poll->start(1);
    }
    QTimer* timer = get<QTimer>("Timer1");
    int ticks = 0;
    bool stepRanInWait = false;
};
} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void tickFailureReportedThenRecovered_data();
    void tickFailureReportedThenRecovered();
    void readingsGoOnUnderABoxRaisedInATick();
    void tickSurvivesWhatHappensInItsWait_data();
    void tickSurvivesWhatHappensInItsWait();
};

void TestMonitor::tickFailureReportedThenRecovered_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QString>("failure");
    QTest::newRow("letterInInterval") << u"1O"_s << u"类型不匹配：「采样间隔」不是数字"_s;
    QTest::newRow("portClosedByPortChange") << "10"
                                            << "端口未打开：通信端口未打开，请先单击【打开端口】";
}

void TestMonitor::tickFailureReportedThenRecovered()
{
    QFETCH(QString, interval);
    QFETCH(QString, failure);
    const bool portClosed = failure.startsWith(u"端口未打开");
    Rig rig;
    rig.edit("delaytime")->setText(interval);
    rig.click("cmdStart");
    if (portClosed) { // the change stops the timer and closes the port; cmdStart stays enabled
        rig.pick(1);
        rig.click("cmdStart");
    }
    // Failing again and again makes no box; the byte is read before the failing step.
    QVERIFY(rig.feed(bytes({0x3C})));
    QCOMPARE(rig.shown(), QString());
    QCOMPARE(rig.status(), QStringLiteral("接收失败：") + failure);
    QVERIFY(rig.boxes.messages().isEmpty() && rig.timer->isActive());
    QVERIFY(portClosed || rig.buffered() == 0);

    rig.edit("delaytime")->setText(QStringLiteral("10"));
    if (portClosed)
        rig.click("cmdOpenCOM");
    QVERIFY(rig.feed(bytes({0x0A}), portClosed ? &rig.car2 : nullptr));
    QVERIFY(rig.shown() == u"10R/Min" && rig.status() == kConnected);
}

void TestMonitor::readingsGoOnUnderABoxRaisedInATick()
{
    Rig rig;
    const RealBoxes real; // one that blocked would hold the tick's wait
    const auto shownBoxes = [&] { return rig.form()->findChildren<QMessageBox*>(); };
    later(15000, [&] { qDeleteAll(shownBoxes()); }); // hang guard only
    rig.edit("delaytime")->setText(QStringLiteral("300"));
    rig.edit("NewSpeed")->setText(QStringLiteral("250"));
    rig.car1.write(bytes({0x01}));
    QTRY_COMPARE(rig.buffered(), 1);
    rig.click("cmdStart");
    rig.inFirstTicksWait([&] {
        rig.click("Advanced");
        rig.edit("delaytime")->setText(QStringLiteral("10"));
    });
    QTRY_COMPARE(shownBoxes().size(), 1);
    QVERIFY(rig.stepRanInWait);
    // A slow reading after a fast one leaves the lamp lit, and the caption shrinks back.
    QVERIFY(!rig.lit() && rig.feed(bytes({0xFF})) && rig.feed(bytes({0x05})));
    QVERIFY(rig.shown() == u"05R/Min" && rig.lit() && rig.buffered() == 0);
    QCOMPARE(rig.get<QLabel>("lblValue")->size(), rig.get<QLabel>("lblValue")->sizeHint());

    rig.edit("NewSpeed")->setText(QStringLiteral("abc")); // a second failure while the box is up
    rig.click("Advanced");
    QCOMPARE(shownBoxes().size(), 1);
    QCOMPARE(shownBoxes().first()->text(), QStringLiteral("类型不匹配：「更新速度」不是数字"));
    shownBoxes().first()->close();
}

void TestMonitor::tickSurvivesWhatHappensInItsWait_data()
{
    QTest::addColumn<QString>("control"); // used inside the first tick's wait
    QTest::addColumn<QString>("status");  // empty: the window is gone
    QTest::addColumn<QString>("caption"); // cmdStart's, where the control was that button
    QTest::newRow("monitoringStopped") << u"cmdStart"_s << u"智能车已断开连接"_s << u"开始检测"_s;
    // The restarted timer ticks inside the wait; the older reading never covers its newer one.
    QTest::newRow("monitoringRestarted") << "restart" << kConnected << "停止检测";
    QTest::newRow("portChanged") << u"cmbCOM"_s << u"已停止通信并关闭通讯端口"_s << QString();
    QTest::newRow("windowExited") << u"Exit"_s << QString() << QString();
}

void TestMonitor::tickSurvivesWhatHappensInItsWait()
{
    QFETCH(QString, control);
    QFETCH(QString, status);
    QFETCH(QString, caption);
    const bool restarted = control == u"restart";
    Rig rig;
    rig.edit("delaytime")->setText(QStringLiteral("300"));
    rig.car1.write(bytes({0xFF}));
    QTRY_COMPARE(rig.buffered(), 1);
    rig.click("cmdStart");
    QLabel* banner = rig.get<QLabel>("Label6"); // only starting puts the welcome back
    banner->setText(QStringLiteral("marker"));
    rig.inFirstTicksWait([&] {
        control == u"Exit" ? rig.action("Exit")->trigger()
                           : (control == u"cmbCOM" ? rig.pick(1) : rig.click("cmdStart"));
        if (restarted)
            rig.click("cmdStart");
        rig.car1.write(bytes({0x3C}));
    });
    QVERIFY(QTest::qWaitFor([&] { return !rig.alive() || rig.ticks > 0; }));
    QVERIFY(rig.boxes.messages().isEmpty() && rig.alive() == !status.isEmpty());
    QVERIFY(rig.stepRanInWait);
    if (status.isEmpty())
        return;
    QVERIFY(rig.lit() && rig.timer->isActive() == restarted);
    QCOMPARE(rig.portOpen(), control != u"cmbCOM");
    const QString shownCaption = caption.isEmpty() ? caption : rig.button("cmdStart")->text();
    QCOMPARE(QStringList({rig.shown(), rig.status(), banner->text(), shownCaption}),
             QStringList({restarted ? "60R/Min" : "255R/Min", status,
                          restarted ? "欢迎使用" : "marker", caption}));
}

QTEST_MAIN(TestMonitor)
#include "test_monitor.moc"
