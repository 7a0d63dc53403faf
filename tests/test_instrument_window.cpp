// The instrument in the real window: a reading on the line reaches the trend, the traffic
// list and the recording; the list brakes on Esc like the main window and follows its end.
#include "console/widgets/speedtrend.h"
#include "instrument/instrumentpanel.h"
#include "instrument/traffic.h"
#include "support/consolefixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableView>

#include <mutex>

namespace smartcar {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TestInstrumentWindow : public QObject
{
    Q_OBJECT
private slots:
    void recordingThatCannotStartSaysSo_data()
    {
        QTest::addColumn<bool>("homeless"); // otherwise a file stands where the folder goes
        QTest::addColumn<QString>("why");
        QTest::newRow("folderThatCannotBeMade") << false << u"无法创建文件夹 %1"_s;
        // Qt would name /Documents at the top of the disk.
        QTest::newRow("noHomeFolder") << true << u"找不到“文档”文件夹"_s;
    }

    void recordingThatCannotStartSaysSo()
    {
        QFETCH(bool, homeless);
        QFETCH(QString, why);
        QTemporaryDir documents;
        const QString folder = documents.filePath(u"smartcar-console"_s);
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const ScopedEnv home("HOME", homeless ? "" : qgetenv("HOME").constData());
        ConsoleFixture rig;
        if (!homeless)
            rig.form()->setDocumentsFolder(documents.path());
        rig.click("cmdRecord");
        QCOMPARE(rig.boxes.texts(), QStringList(u"无法开始记录。"_s));
        QCOMPARE(rig.boxes.messages().first().informativeText, why.arg(folder));
        QVERIFY(!rig.button("cmdRecord")->isChecked());
        QCOMPARE(rig.status(), u"记录未能开始"_s);
    }

    // A disk that stops taking rows never holds up the brake; the recording stops by itself
    // with its one box once the disk has kept a row too long.
    void stalledDiskStopsTheRecordingNotTheCar()
    {
        QTemporaryDir documents;
        std::mutex disk;
        std::unique_lock stalled(disk);
        RecordingDisk slow;
        slow.stallLimit = 300ms;
        slow.write = [&](QFile& file, const QByteArray& line) {
            if (!line.startsWith("\xEF\xBB\xBF")) // the header goes through
                const std::lock_guard wait(disk);
            return file.write(line);
        };
        ConsoleFixture rig(slow);
        rig.form()->setDocumentsFolder(documents.path());
        QVERIFY(rig.open(0));
        rig.click("cmdRecord");
        for (int i = 0; i < 3; ++i)
            rig.click("Stop");
        QCOMPARE(rig.car1.read(3), bytes({0x87, 0x87, 0x87}));
        QTRY_COMPARE(rig.boxes.texts(), QStringList(u"记录已停止：行驶记录无法写入。"_s));
        QVERIFY(rig.boxes.messages().first().informativeText.endsWith(u"（2 行未写入）"_s));
        QVERIFY(!rig.button("cmdRecord")->isChecked());
        QCOMPARE(rig.status(), u"记录已停止：文件无法写入"_s);
        stalled.unlock();
    }

    // The disk gives out after the first row: one box, the rows before it stay in the file,
    // and the car still gets every frame.
    void recordingFailingPartwayKeepsWhatWasWritten()
    {
        QTemporaryDir documents;
        RecordingDisk full;
        int rowsTaken = 0;
        full.write = [&](QFile& file, const QByteArray& line) -> qint64 {
            if (line.startsWith("\xEF\xBB\xBF") || rowsTaken++ == 0)
                return file.write(line);
            return -1;
        };
        ConsoleFixture rig(full);
        rig.form()->setDocumentsFolder(documents.path());
        QVERIFY(rig.open(0));
        rig.click("cmdRecord");
        for (int i = 0; i < 3; ++i)
            rig.click("Stop");
        QCOMPARE(rig.car1.read(3), bytes({0x87, 0x87, 0x87}));
        QTRY_COMPARE(rig.boxes.texts(), QStringList(u"记录已停止：行驶记录无法写入。"_s));
        QVERIFY(!rig.button("cmdRecord")->isChecked());
        QCOMPARE(rig.status(), u"记录已停止：文件无法写入"_s);
        rig.click("Stop"); // the recording tries nothing more, and says nothing more
        QCOMPARE(rig.boxes.texts().size(), 1);
        QFile file(documents.filePath(u"smartcar-console/行驶记录-20261207-090503.csv"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u"\r\n"_s);
        QCOMPARE(lines.size(), 3); // the header, the first brake, and the line's end
        QVERIFY(lines.at(1).endsWith(u"发送,87,冷制动,,灭"_s));
    }

    // Rows selected in 通信记录 reach the clipboard tab-separated, oldest first, by Ctrl+C in
    // the list and by 复制所选.
    void selectedRowsAreCopiedInTheirOrder()
    {
        ConsoleFixture rig;
        const auto restore = qScopeGuard([] { QGuiApplication::clipboard()->clear(); });
        QVERIFY(rig.open(0));
        rig.click("cmdTraffic");
        rig.click("Advanced");
        rig.click("Retreat");
        rig.click("Stop");
        auto* rows = rig.get<QTableView>("Rows");
        QTRY_COMPARE(rows->model()->rowCount(), 3);
        QItemSelectionModel* selection = rows->selectionModel();
        using Flag = QItemSelectionModel::SelectionFlag;
        selection->select(rows->model()->index(2, 0), Flag::Select | Flag::Rows);
        selection->select(rows->model()->index(0, 0), Flag::Select | Flag::Rows);
        const QString expected = u"09:05:03.042\t发送\t85 60\t前进，速度 120\n"
                                 u"09:05:03.042\t发送\t87\t冷制动\n"_s;
        QTest::keyClick(rows, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(rig.get<QPushButton>("Copy"), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }

    // A screen reader's Toggle on 记录 starts and ends the recording as a click does.
    void recordingToggledByAScreenReader()
    {
        QTemporaryDir documents;
        ConsoleFixture rig;
        rig.form()->setDocumentsFolder(documents.path());
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(rig.button("cmdRecord"))->actionInterface();
        const QString name = u"行驶记录-20261207-090503.csv"_s;
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(rig.status(), u"正在记录："_s + name);
        QVERIFY(QFile::exists(documents.filePath(u"smartcar-console/"_s + name)));
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(rig.status(), u"记录已保存："_s + name);
        QVERIFY(!rig.button("cmdRecord")->isChecked());
    }

    void readingReachesTrendListAndRecording()
    {
        QTemporaryDir documents;
        ConsoleFixture rig;
        rig.form()->setDocumentsFolder(documents.path());
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
        QVERIFY(trend.size() == 1);
        QVERIFY(trend.at(0).speed == 0x41);
        QVERIFY(trend.at(0).alarm);
        QTRY_COMPARE(rows->model()->rowCount(), 3);
        // The rows' texts are the recording's below; the list has its own direction column.
        QCOMPARE(rows->model()->index(1, TrafficLog::DirectionColumn).data(), u"接收"_s);
        QCOMPARE(rig.get<QLabel>("Counts")->text(), u"共 3 行"_s);

        rig.click("cmdRecord");
        const QString name = u"行驶记录-20261207-090503.csv"_s; // by the window's clock
        QCOMPARE(rig.status(), u"记录已保存："_s + name);
        // The rows reach the file on the recording's own thread, without the window waiting.
        const auto recorded = [&] {
            QFile file(documents.filePath(u"smartcar-console/"_s + name));
            return file.open(QIODevice::ReadOnly)
                ? QString::fromUtf8(file.readAll()).split(u"\r\n"_s).mid(1)
                : QStringList();
        };
        const QString at = u"2026-12-07T09:05:03.042+08:00,"_s;
        QTRY_COMPARE(recorded(),
                     QStringList({at + u"发送,87,失败：通信端口未打开，请先单击【打开端口】,,灭"_s,
                                  at + u"接收,41,读数 65R/Min,65,亮"_s,
                                  at + u"发送,85 60,前进，速度 120,,亮"_s, QString()}));
    }

    void listBrakesOnEscAndFollowsItsEnd()
    {
        ConsoleFixture rig;
        QVERIFY(rig.open(0));
        rig.click("cmdTraffic");
        auto* rows = rig.get<QTableView>("Rows");
        // Esc brakes here as in the main window, Shift held in a hurry or not; the list stays.
        QTest::keyClick(rows, Qt::Key_Escape, Qt::ShiftModifier);
        QCOMPARE(rig.car1.read(1), bytes({0x87}));
        QVERIFY(rows->window() != rig.form());
        QVERIFY(rows->window()->isVisible());

        // The list follows the newest rows, unless the operator has scrolled up to read. Its
        // current row is the first, as the list's focus makes it.
        QTRY_COMPARE(rows->model()->rowCount(), 1);
        rows->selectionModel()->setCurrentIndex(rows->model()->index(0, 0),
                                                QItemSelectionModel::NoUpdate);
        QScrollBar* bar = rows->verticalScrollBar();
        const auto brakes = [&](int n) {
            const int target = rows->model()->rowCount() + n;
            for (int i = 0; i < n; ++i)
                rig.click("Stop");
            return QTest::qWaitFor([&] { return rows->model()->rowCount() >= target; });
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

        // Full, the list lets its oldest rows go, the current one among them, and still follows
        // the newest.
        TrafficLog* log = rig.get<InstrumentPanel>("InstrumentPanel")->log();
        std::vector<TrafficRow> fill(
            size_t(log->capacity() - log->rowCount()),
            TrafficRow{rig.now, TrafficRow::Direction::Received, bytes({0x3C}), {}, false, {}, 0});
        log->take(fill);
        QTRY_COMPARE(bar->value(), bar->maximum());
        const qint64 dropped = log->dropped();
        for (int batch = 0; batch < 3; ++batch) {
            for (int i = 0; i < 10; ++i)
                rig.click("Stop");
            QTRY_VERIFY(log->dropped() >= dropped + 10 * (batch + 1));
            QCoreApplication::processEvents();
            QCOMPARE(bar->value(), bar->maximum());
        }
        QCOMPARE(log->index(log->rowCount() - 1, TrafficLog::MeaningColumn).data(), u"冷制动"_s);
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestInstrumentWindow)
#include "test_instrument_window.moc"
