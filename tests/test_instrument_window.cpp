// The instrument in the real window: a reading on the line reaches the trend and the traffic
// list; the traffic window brakes on Esc like the main window.
#include "console/speedtrend.h"
#include "instrument/traffic.h"
#include "support/checks.h"
#include "support/consolefixture.h"

#include <QTableView>
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

} // namespace

class TestInstrumentWindow : public QObject
{
    Q_OBJECT
private slots:
    void readingReachesEveryView();
    void escInTrafficWindowBrakes();
};

void TestInstrumentWindow::readingReachesEveryView()
{
    ConsoleFixture rig;
    rig.click("Stop"); // no port yet: a failed send, listed all the same
    QVERIFY(rig.open(0));
    rig.click("cmdStart");
    rig.click("cmdTraffic");
    auto* rows = rig.get<QTableView>("Rows");
    rig.car1.write(bytes({0x41})); // 65 R/Min, above the alarm speed of 40
    QTRY_COMPARE(rig.get<QLabel>("lblValue")->text(), u"65R/Min"_s);
    rig.click("Advanced");

    const SpeedHistory& trend = rig.get<SpeedTrend>("Trend")->history();
    QVERIFY(trend.size() == 1 && trend.at(0).speed == 0x41 && trend.at(0).alarm);
    QCOMPARE(listed(rows),
             QStringList({u"发送 | 87 | 失败：通信端口未打开，请先单击【打开端口】"_s,
                          u"接收 | 41 | 读数 65R/Min"_s, u"发送 | 85 60 | 前进，速度 120"_s}));
    QCOMPARE(rig.get<QLabel>("Counts")->text(), u"共 3 行"_s);
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
