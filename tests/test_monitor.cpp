// Monitoring through the real window, Timer1 ticking for real. Readings and the lamp: test_core.
#include "console/widgets/colours.h"
#include "console/widgets/shape.h"
#include "console/widgets/speedtrend.h"
#include "instrument/instrumentpanel.h"
#include "support/consolefixture.h"

#include <QMessageBox>
#include <QTimer>

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
enum class InWait { StopMonitoring, RestartMonitoring, ChangePort };
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
    bool shownGrey() const
    {
        return get<QLabel>("lblValue")->palette().color(QPalette::WindowText)
            == QColor(128, 128, 128);
    }
    // The traffic rows so far, once the list has taken them.
    const TrafficLog& listed(int atLeast) const
    {
        const TrafficLog* log = get<InstrumentPanel>("InstrumentPanel")->log();
        // The caller compares what came, so a time-out shows there.
        static_cast<void>(QTest::qWaitFor([&] { return log->rowCount() >= atLeast; }));
        return *log;
    }
    bool lit() const { return get<Shape>("LED1")->fillColor() == kLampGreen; }
    int buffered() const { return get<CommPort>("MSComm1")->inBufferCount(); }
    bool feed(const QByteArray& b, PtyPair* car = nullptr) // two ticks: the second reads `b`
    {
        (car ? car : &car1)->write(b);
        const int target = ticks + 2;
        return QTest::qWaitFor([&] { return ticks >= target; });
    }
    // Starts monitoring with `waiting` on the line and runs `step` once the first tick has read
    // it, that is inside its wait. Returns once that tick has ended or the window has gone;
    // false if the step missed the wait.
    bool startReadingThen(quint8 waiting, std::function<void()> step)
    {
        edit("delaytime")->setText(QStringLiteral("300"));
        car1.write(bytes({waiting}));
        if (!QTest::qWaitFor([&] { return buffered() == 1; }))
            return false;
        // Queued, it runs in the first pass of the tick's wait, right after the tick's read.
        const auto inWait = [this, step] {
            stepRanInWait = ticks == 0;
            step();
        };
        QObject::connect(get<CommPort>("MSComm1"), &CommPort::received, timer, inWait,
                         Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        click("cmdStart");
        return QTest::qWaitFor([&] { return !alive() || ticks > 0; }) && stepRanInWait;
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
    void tickFailureReportedThenRecovered()
    {
        Rig rig;
        rig.edit("delaytime")->setText(u"1O"_s);
        rig.click("cmdStart");
        // Failing again and again makes no box; the byte is read before the failing step, and
        // listed with the lamp as the failed tick left it: dark.
        QVERIFY(rig.feed(bytes({0x41})));
        QCOMPARE(rig.status(), u"接收失败：类型不匹配：「采样间隔」不是数字"_s);
        QVERIFY(rig.shown().isEmpty());
        QVERIFY(rig.buffered() == 0);
        QVERIFY(!rig.lit());
        QCOMPARE(rig.listed(1).row(0).bytes, bytes({0x41}));
        QVERIFY(!rig.listed(1).row(0).lampLit);
        // A port change stops the poll and closes the port, and leaves cmdStart enabled.
        rig.edit("delaytime")->setText(u"10"_s);
        rig.pick(1);
        rig.click("cmdStart");
        QVERIFY(rig.feed(bytes({0x3C})));
        QCOMPARE(rig.status(), u"接收失败：端口未打开：通信端口未打开，请先单击【打开端口】"_s);
        QVERIFY(rig.shown().isEmpty());
        QVERIFY(rig.boxes.messages().isEmpty());
        QVERIFY(rig.timer->isActive());

        rig.click("cmdOpenCOM");
        QVERIFY(rig.feed(bytes({0x0A}), &rig.car2));
        QCOMPARE(rig.shown(), u"10R/Min"_s);
        QCOMPARE(rig.status(), kConnected);
    }

    void readingsGoOnUnderABoxRaisedInATick()
    {
        Rig rig;
        const RealBoxes real; // one that blocked would hold the tick's wait
        const auto shownBoxes = [&] { return rig.form()->findChildren<QMessageBox*>(); };
        later(15000, [&] { qDeleteAll(shownBoxes()); }); // hang guard only
        rig.edit("NewSpeed")->setText(QStringLiteral("250"));
        QVERIFY(rig.startReadingThen(0x01, [&] {
            rig.click("Advanced");
            rig.edit("delaytime")->setText(QStringLiteral("10"));
        }));
        QTRY_COMPARE(shownBoxes().size(), 1);
        // A slow reading after a fast one leaves the lamp lit, and the caption shrinks back.
        QVERIFY(!rig.lit());
        QVERIFY(rig.feed(bytes({0xFF})));
        QVERIFY(rig.feed(bytes({0x05})));
        QVERIFY(rig.shown() == u"05R/Min");
        QVERIFY(rig.lit());
        QVERIFY(rig.buffered() == 0);
        QCOMPARE(rig.get<QLabel>("lblValue")->size(), rig.get<QLabel>("lblValue")->sizeHint());

        rig.edit("NewSpeed")->setText(u"abc"_s); // a second failure while the box is up
        rig.click("Advanced");
        QCOMPARE(shownBoxes().size(), 1);
        QCOMPARE(shownBoxes().first()->text(), QStringLiteral("类型不匹配：「更新速度」不是数字"));
        shownBoxes().first()->close();
    }

    void tickSurvivesWhatHappensInItsWait_data()
    {
        QTest::addColumn<InWait>("operatorDoes"); // inside the first tick's wait, which read 255
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("welcomeBack"); // only starting puts the banner's welcome back
        QTest::addColumn<QString>("button");   // cmdStart's caption
        QTest::newRow("stopInWaitNotUndoneByTheTick")
            << InWait::StopMonitoring << u"255R/Min"_s << u"智能车已断开连接"_s << false
            << u"开始检测"_s;
        // The restarted timer ticks inside the wait and reads 60 first.
        QTest::newRow("restartInWaitOlderReadingNeverCoversNewer")
            << InWait::RestartMonitoring << u"60R/Min"_s << kConnected << true << u"停止检测"_s;
        // The change stops the poll and closes the port, and leaves the button's caption alone.
        QTest::newRow("portChangeInWaitClosedPortNotReadAgain")
            << InWait::ChangePort << u"255R/Min"_s << u"已停止通信并关闭通讯端口"_s << false
            << u"停止检测"_s;
    }

    void tickSurvivesWhatHappensInItsWait()
    {
        QFETCH(InWait, operatorDoes);
        QFETCH(QString, reading);
        QFETCH(QString, status);
        QFETCH(bool, welcomeBack);
        QFETCH(QString, button);
        Rig rig;
        QLabel* banner = rig.get<QLabel>("Label6");
        QVERIFY(rig.startReadingThen(0xFF, [&] {
            banner->setText(QStringLiteral("marker"));
            if (operatorDoes == InWait::ChangePort)
                rig.pick(1);
            else
                rig.click("cmdStart");
            if (operatorDoes == InWait::RestartMonitoring)
                rig.click("cmdStart");
            rig.car1.write(bytes({0x3C}));
        }));
        QVERIFY(rig.boxes.messages().isEmpty());
        QVERIFY(rig.lit());
        QCOMPARE(rig.shown(), reading);
        QCOMPARE(rig.status(), status);
        QCOMPARE(banner->text() == u"欢迎使用", welcomeBack);
        QCOMPARE(rig.button("cmdStart")->text(), button);
    }

    // A car that stops sending is seen as silent after a second: the reading greys, the lamp
    // keeps its state, the status counts the seconds and the list shows the silence once. The
    // first byte puts it all back; the trend leaves the silence as a gap. Nothing is sent.
    void silentCarSeenAsSilent()
    {
        Rig rig;
        rig.click("cmdStart");
        QVERIFY(rig.feed(bytes({0x41})));
        QVERIFY(!rig.shownGrey());
        QVERIFY(rig.lit());
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), u"已 1 秒未收到小车的数据"_s, 5000);
        QVERIFY(rig.shownGrey());
        QVERIFY(rig.lit());
        // Several bytes in one poll make no reading, but the line is alive.
        QVERIFY(rig.feed(bytes({0x12, 0x34})));
        QCOMPARE(rig.status(), kConnected);
        QVERIFY(rig.shownGrey());
        QVERIFY(rig.feed(bytes({0x3C})));
        QCOMPARE(rig.shown(), u"60R/Min"_s);
        QVERIFY(!rig.shownGrey());

        QStringList meanings;
        const TrafficLog& log = rig.listed(4);
        for (int i = 0; i < log.rowCount(); ++i)
            meanings << trafficMeaning(log.row(i));
        QCOMPARE(meanings,
                 QStringList(
                     {u"读数 65R/Min"_s, u"无数据"_s, u"2 个字节，无读数"_s, u"读数 60R/Min"_s}));
        const SpeedHistory& trend = rig.get<SpeedTrend>("Trend")->history();
        QCOMPARE(trend.size(), 2);
        QVERIFY(trend.at(1).afterGap);
        rig.click("Stop");
        QCOMPARE(rig.car1.read(1), bytes({0x87}));
    }

    void tickTouchesNothingOfAWindowExitedInItsWait()
    {
        Rig rig;
        QVERIFY(rig.startReadingThen(0xFF, [&] { rig.action("Exit")->trigger(); }));
        QVERIFY(!rig.alive());
        QVERIFY(rig.boxes.messages().isEmpty());
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestMonitor)
#include "test_monitor.moc"
