// The instrument in the real window: a reading on the line reaches the trend, the traffic
// list and the recording; the traffic window brakes on Esc like the main window.
#include "console/speedtrend.h"
#include "instrument/traffic.h"
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QDir>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {

// The traffic list as the operator reads it: direction, bytes, meaning per row.
QStringList listed(const QTableView* view)
{
    QStringList out;
    const QAbstractItemModel* m = view->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = TrafficLog::DirectionColumn; c < TrafficLog::ColumnCount; ++c)
            cells << m->index(r, c).data().toString();
        out << cells.join(u" | ");
    }
    return out;
}

// Points the documents folder at a fresh temporary home for as long as it lives.
struct TemporaryHome
{
    QString folder() const { return dir.filePath(u"Documents/smartcar-console"_s); }

    QTemporaryDir dir;
    ScopedEnv home{"HOME", dir.path().toLocal8Bit()};
    ScopedEnv config{"XDG_CONFIG_HOME", dir.filePath(u".config"_s).toLocal8Bit()};
};

} // namespace

class TestInstrumentWindow : public QObject
{
    Q_OBJECT
private slots:
    void readingReachesEveryView();
    void escInTrafficWindowBrakes();
    void listFollowsTheNewestUnlessScrolledUp();
    void recordingThatCannotStartSaysSoOnce();
};

void TestInstrumentWindow::readingReachesEveryView()
{
    TemporaryHome home;
    ConsoleFixture rig;
    QVERIFY(!QFileInfo::exists(home.folder())); // nothing written until asked for
    rig.click("cmdRecord");
    rig.click("Stop"); // no port yet: a failed send, listed and recorded all the same
    QVERIFY(rig.open(0));
    rig.click("cmdStart");
    rig.click("cmdTraffic");
    auto* rows = rig.get<QTableView>("Rows");
    rig.car1.write(bytes({0x41})); // 65 R/Min, above the alarm speed of 40
    QTRY_COMPARE(rig.get<QLabel>("lblValue")->text(), u"65R/Min"_s);
    rig.click("Advanced");

    const SpeedHistory& trend = rig.get<SpeedTrend>("Trend")->history();
    QVERIFY(trend.size() == 1 && trend.at(0).speed == 0x41 && trend.at(0).alarm);
    QTRY_COMPARE(listed(rows),
                 QStringList({u"发送 | 87 | 失败：通信端口未打开，请先单击【打开端口】"_s,
                              u"接收 | 41 | 读数 65R/Min"_s, u"发送 | 85 60 | 前进，速度 120"_s}));
    QCOMPARE(rig.get<QLabel>("Counts")->text(), u"共 3 行"_s);

    rig.click("cmdRecord");
    const QStringList files = QDir(home.folder()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QCOMPARE(rig.status(), u"记录已保存："_s + files.first());
    QFile file(QDir(home.folder()).filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u"\r\n"_s);
    QCOMPARE(lines.size(), 5); // header, three rows, the end of the last line
    QVERIFY(lines[1].contains(u",发送,87,失败：通信端口未打开"_s));
    QVERIFY(lines[2].endsWith(u",接收,41,读数 65R/Min,65,亮"_s));
    QVERIFY(lines[3].endsWith(u",发送,85 60,前进，速度 120,,亮"_s));
}

void TestInstrumentWindow::listFollowsTheNewestUnlessScrolledUp()
{
    ConsoleFixture rig;
    QVERIFY(rig.open(0));
    rig.click("cmdTraffic");
    auto* rows = rig.get<QTableView>("Rows");
    QScrollBar* bar = rows->verticalScrollBar();
    const auto brakes = [&](int n) {
        const int target = rows->model()->rowCount() + n;
        for (int i = 0; i < n; ++i)
            rig.click("Stop");
        return QTest::qWaitFor([&] { return rows->model()->rowCount() == target; });
    };
    QVERIFY(brakes(200));
    QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
    bar->setValue(0); // the operator reads the oldest rows
    const int end = bar->maximum();
    QVERIFY(brakes(20));
    QTRY_VERIFY(bar->maximum() > end); // the new rows are laid out, and the list stayed put
    QCOMPARE(bar->value(), 0);
    bar->setValue(bar->maximum()); // back at the end, the list follows again
    QVERIFY(brakes(20));
    QTRY_COMPARE(bar->value(), bar->maximum());
}

void TestInstrumentWindow::recordingThatCannotStartSaysSoOnce()
{
    TemporaryHome home;
    QVERIFY(QDir().mkpath(QFileInfo(home.folder()).path()));
    QFile blocker(home.folder()); // a file where the folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ConsoleFixture rig;
    QVERIFY(rig.open(0));
    rig.click("cmdRecord");
    QCOMPARE(rig.boxes.texts(), QStringList(u"无法开始记录。"_s));
    QVERIFY(rig.boxes.messages().first().informativeText.startsWith(u"无法创建文件夹"_s));
    QVERIFY(!rig.button("cmdRecord")->isChecked() && rig.status() == u"记录未能开始"_s);
    rig.click("Stop"); // the console goes on, and tries no file without being asked
    QCOMPARE(rig.car1.read(1), bytes({0x87}));
    QCOMPARE(rig.boxes.messages().size(), 1);
}

void TestInstrumentWindow::escInTrafficWindowBrakes()
{
    ConsoleFixture rig;
    QVERIFY(rig.open(0));
    rig.click("cmdTraffic");
    auto* rows = rig.get<QTableView>("Rows");
    QWidget* window = rows->window();
    QVERIFY(window != rig.form());
    window->activateWindow();
    rows->setFocus();
    QTest::keyClick(rows, Qt::Key_Escape);
    QCOMPARE(rig.car1.read(1), bytes({0x87}));
    QVERIFY(window->isVisible()); // Esc brakes; it does not close the list
}

QTEST_MAIN(TestInstrumentWindow)
#include "test_instrument_window.moc"
