// 回放 against a pseudo-terminal car: viewing sends nothing; 按记录行驶 sends each recorded
// frame at its offset, never the car's rows or failed sends; and every stop rule centres a
// turn the drive began and brakes, at once.
#include "console/errorreport.h"
#include "console/windows/replaywindow.h"
#include "instrument/instrumentpanel.h"
#include "support/consolefixture.h"

#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QUrl>

namespace smartcar {

using namespace Qt::StringLiterals;

namespace {
struct Row
{
    int offsetMs;
    const char* direction;
    const char* bytes;
    const char* meaning;
};

// A recording of `rows` in a folder of the test's own.
struct RecordingFile
{
    QTemporaryDir dir;
    QString path = dir.filePath(u"行驶记录-20261207-090503.csv"_s);

    explicit RecordingFile(const QList<Row>& rows)
    {
        const QDateTime start(QDate(2026, 12, 7), QTime(9, 5, 3), QTimeZone(8 * 3600));
        QByteArray text = "\xEF\xBB\xBF时间,方向,字节,含义,速度(R/Min),报警灯\r\n";
        for (const Row& r : rows) {
            text += start.addMSecs(r.offsetMs).toString(Qt::ISODateWithMs).toUtf8() + ','
                + r.direction + ',' + r.bytes + ',' + r.meaning + ",,灭\r\n";
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write the recording");
    }
};

// Bytes as they reach the car over `ms`, each chunk with when it came.
struct Arrival
{
    qint64 atMs;
    QByteArray bytes;
};
QList<Arrival> collect(PtyPair& car, int ms, const QElapsedTimer& since)
{
    QList<Arrival> got;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QTest::qWait(1);
        const QByteArray chunk = car.drain();
        if (!chunk.isEmpty())
            got << Arrival{since.elapsed(), chunk};
    }
    return got;
}
QByteArray joined(const QList<Arrival>& arrivals)
{
    QByteArray all;
    for (const Arrival& a : arrivals)
        all += a.bytes;
    return all;
}

enum class StopBy {
    EscInTheReplayWindow,
    BrakeButton,
    OperatorAdvances,
    StopButton,
    ReplayWindowClosed,
    AnotherPortPicked,
    MessageBox,
    MainWindowClosed,
    Unplugged
};
} // namespace

class TestReplay : public QObject
{
    Q_OBJECT
private slots:
    void viewingSendsNothing()
    {
        const RecordingFile file({{0, "发送", "85 60", "前进"},
                                  {400, "接收", "3C", "读数"},
                                  {800, "发送", "87", "冷制动"}});
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.form()->openReplay(file.path);
        auto* window = fx.get<ReplayWindow>("ReplayWindow");
        QCOMPARE(window->windowTitle(), u"回放 - 行驶记录-20261207-090503.csv"_s);
        fx.get<QComboBox>("Speed")->setCurrentIndex(4); // 10×
        fx.click("Play");
        QTRY_VERIFY(!window->isPlaying()); // 0.8 s at 10× played to its end
        QCOMPARE(window->position(), 800);
        fx.click("PreviousRow");
        QCOMPARE(window->position(), 400);
        fx.get<QSlider>("Position")->setValue(100);
        QCOMPARE(window->position(), 100);
        QTest::qWait(100);
        QCOMPARE(fx.car1.drain(), QByteArray());
    }

    // Played on, the row at the position is always the one selected, and in view; the list
    // turns by pages rather than row by row.
    void playedRowStaysInView()
    {
        QList<Row> rows;
        for (int i = 0; i < 200; ++i)
            rows << Row{i * 100, "接收", "3C", "读数"};
        const RecordingFile file(rows);
        ConsoleFixture fx;
        fx.form()->openReplay(file.path);
        auto* window = fx.get<ReplayWindow>("ReplayWindow");
        auto* list = fx.get<QTableView>("Rows");
        QScrollBar* bar = list->verticalScrollBar();
        int scrolls = 0;
        connect(bar, &QScrollBar::valueChanged, this, [&] { ++scrolls; });
        for (int i = 0; i < 200; ++i) {
            window->setPosition(i * 100);
            const QModelIndex current = list->currentIndex();
            QCOMPARE(current.row(), i);
            QVERIFY(list->viewport()->rect().contains(list->visualRect(current)));
        }
        QVERIFY(scrolls > 0);
        QVERIFY(scrolls < 200 / 4);
    }

    // From the play position on, each frame sent at its offset, never early; the car's rows and
    // failed sends stay unsent, the replayed rows are marked.
    void driveSendsEachFrameAtItsOffset()
    {
        const RecordingFile file({{0, "发送", "85 60", "前进"},
                                  {100, "接收", "3C", "读数"},
                                  {150, "发送", "86 30", "失败：线路忙"},
                                  {200, "发送", "81", "左转"},
                                  {500, "发送", "83", "回正"},
                                  {700, "发送", "87", "冷制动"}});
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.form()->openReplay(file.path);
        fx.get<QSlider>("Position")->setValue(100);
        QElapsedTimer since;
        since.start();
        fx.click("Drive");
        QCOMPARE(fx.boxes.texts(),
                 QStringList(u"小车将按记录自动行驶（1 秒）。按 Esc 或冷制动随时停车。"_s));
        QCOMPARE(fx.status(), u"正在按记录行驶…"_s);
        const QList<Arrival> got = collect(fx.car1, 900, since);
        QCOMPARE(joined(got), bytes({0x81, 0x83, 0x87}));
        QCOMPARE(got.size(), 3);
        QVERIFY2(got[0].atMs >= 99, qPrintable(QString::number(got[0].atMs)));
        QVERIFY2(got[1].atMs >= 399, qPrintable(QString::number(got[1].atMs)));
        QVERIFY2(got[2].atMs >= 599, qPrintable(QString::number(got[2].atMs)));
        QCOMPARE(fx.status(), u"按记录行驶结束"_s);
        TrafficLog* log = fx.get<InstrumentPanel>("InstrumentPanel")->log();
        QTRY_COMPARE(log->rowCount(), 3);
        QCOMPARE(log->index(0, TrafficLog::MeaningColumn).data().toString(), u"左转（按记录）"_s);
    }

    void everyStopCentresAndBrakes_data()
    {
        QTest::addColumn<StopBy>("stop");
        QTest::addColumn<QByteArray>("after"); // what follows the turn frame
        QTest::addColumn<QString>("why");
        const QByteArray centredBraked = bytes({0x83, 0x87});
        QTest::newRow("escInTheReplayWindow")
            << StopBy::EscInTheReplayWindow << centredBraked << u"冷制动"_s;
        QTest::newRow("brakeButton") << StopBy::BrakeButton << centredBraked << u"冷制动"_s;
        QTest::newRow("operatorAdvances")
            << StopBy::OperatorAdvances << bytes({0x83, 0x87, 0x85, 0x60}) << u"操作员接管"_s;
        QTest::newRow("stopButton") << StopBy::StopButton << centredBraked << u"已按“停止”"_s;
        QTest::newRow("replayWindowClosed")
            << StopBy::ReplayWindowClosed << centredBraked << u"回放窗口已关闭"_s;
        // The port's own message follows the drive's on the status panel.
        QTest::newRow("anotherPortPicked")
            << StopBy::AnotherPortPicked << centredBraked << u"已停止通信并关闭通讯端口"_s;
        QTest::newRow("messageBox") << StopBy::MessageBox << centredBraked << u"出现提示框"_s;
        QTest::newRow("mainWindowClosed") << StopBy::MainWindowClosed << centredBraked << QString();
        QTest::newRow("unpluggedNothingMore")
            << StopBy::Unplugged << QByteArray() << u"通信端口已断开，请检查无线适配器"_s;
    }

    void everyStopCentresAndBrakes()
    {
        QFETCH(StopBy, stop);
        QFETCH(QByteArray, after);
        QFETCH(QString, why);
        const RecordingFile file({{0, "发送", "81", "左转"},
                                  {800, "发送", "83", "回正"},
                                  {900, "发送", "85 30", "前进"}});
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.form()->openReplay(file.path);
        fx.click("Drive");
        QByteArray turn;
        QTRY_COMPARE(turn += fx.car1.drain(), bytes({0x81}));
        auto* window = fx.get<ReplayWindow>("ReplayWindow");
        switch (stop) {
        case StopBy::EscInTheReplayWindow:
            QTest::keyClick(window, Qt::Key_Escape);
            break;
        case StopBy::BrakeButton:
            fx.click("Stop");
            break;
        case StopBy::OperatorAdvances:
            fx.click("Advanced");
            break;
        case StopBy::StopButton:
            fx.click("StopDrive");
            break;
        case StopBy::ReplayWindowClosed:
            window->close();
            break;
        case StopBy::AnotherPortPicked:
            fx.pick(1);
            break;
        case StopBy::MessageBox:
            showMessage(fx.form(), QMessageBox::Information, systemMessageTitle(), u"x"_s);
            break;
        case StopBy::MainWindowClosed:
            fx.form()->close();
            break;
        case StopBy::Unplugged:
            fx.car1.vanish();
            QTRY_VERIFY(!fx.portOpen());
            break;
        }
        QElapsedTimer since;
        since.start();
        // Past every offset the drive had left: the stop's frames, and nothing more.
        QCOMPARE(joined(collect(fx.car1, 1100, since)), after);
        if (stop == StopBy::AnotherPortPicked || stop == StopBy::Unplugged)
            QCOMPARE(fx.status(), why);
        else if (!why.isEmpty())
            QCOMPARE(fx.status(), u"按记录行驶已停止："_s + why);
    }

    void badRowOrNoAnswerSendsNothing()
    {
        const RecordingFile file({{0, "发送", "81", "左转"}, {100, "发送", "zz", "?"}});
        ConsoleFixture fx;
        QVERIFY(fx.open(0));
        fx.form()->openReplay(file.path);
        fx.click("Drive");
        QCOMPARE(fx.boxes.texts(), QStringList(u"记录中有无法读取的行，不能按记录行驶。"_s));
        QCOMPARE(fx.boxes.messages().first().informativeText, u"第 3 行：字节“zz”不是十六进制数"_s);

        const RecordingFile good({{0, "发送", "81", "左转"}});
        fx.form()->openReplay(good.path);
        QTRY_COMPARE(fx.form()->findChildren<ReplayWindow*>().size(), 1); // the first closed
        setConfirmAnswer(false);
        fx.click("Drive");
        setConfirmAnswer(true);
        QTest::qWait(50);
        QCOMPARE(fx.car1.drain(), QByteArray());
    }

    // A recording dropped on the main window opens as FILE on the command line does.
    void droppedRecordingOpens()
    {
        const RecordingFile file({{0, "发送", "87", "冷制动"}});
        ConsoleFixture fx;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file.path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(fx.form(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(fx.form(), &drop);
        QVERIFY(fx.get<ReplayWindow>("ReplayWindow")->isVisible());
    }
};

} // namespace smartcar

QTEST_MAIN(smartcar::TestReplay)
#include "test_replay.moc"
