// The speed trend's readings and points, the traffic rows' texts and the recording file. No
// window.
#include "instrument/csvrecorder.h"
#include "instrument/speedhistory.h"
#include "instrument/traffic.h"
#include "support/checks.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>
#include <sys/resource.h>

using namespace smartcar;
using namespace Qt::StringLiterals;

namespace {

using Direction = TrafficRow::Direction;

// 2026-12-07 09:05:03.042 at UTC+8.
QDateTime sample()
{
    return QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3, 42), QTimeZone(8 * 3600));
}

TrafficRow row(Direction direction, const QByteArray& b, const QString& failure = {})
{
    return {sample(), direction, b, failure, false};
}

QString speedsOf(const SpeedHistory& h)
{
    QStringList out;
    for (int i = 0; i < h.size(); ++i)
        out << QString::number(h.at(i).speed);
    return out.join(u' ');
}

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT
private slots:
    void historyKeepsTheNewest_data();
    void historyKeepsTheNewest();
    void readingsToPoints_data();
    void readingsToPoints();
    void rowTexts_data();
    void rowTexts();
    void logKeepsTheNewestRowsAndCountsTheRest();
    void recordingHoldsTheRun();
    void recordingNeverOverwrites();
    void recordingFails_data();
    void recordingFails();
};

void TestInstrument::historyKeepsTheNewest_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("added"); // readings 1, 2, 3, …
    QTest::addColumn<QString>("kept");
    QTest::newRow("notFullKeepsAllInOrder") << 4 << 3 << "1 2 3";
    QTest::newRow("exactlyFull") << 4 << 4 << "1 2 3 4";
    QTest::newRow("fullDropsTheOldest") << 4 << 5 << "2 3 4 5";
    QTest::newRow("wrappedManyTimes") << 3 << 11 << "9 10 11";
}

void TestInstrument::historyKeepsTheNewest()
{
    QFETCH(int, capacity);
    QFETCH(int, added);
    QFETCH(QString, kept);
    SpeedHistory h(capacity);
    for (int i = 1; i <= added; ++i)
        h.add({i * 100, quint8(i), false});
    QCOMPARE(speedsOf(h), kept);
}

void TestInstrument::readingsToPoints_data()
{
    // The plot is 600 wide and 255 high from (10, 20): a speed's y is 275 minus the speed;
    // with a span of 60 s a reading's x is 610 minus its age in tenths of a second.
    QTest::addColumn<QList<int>>("stamps"); // ms of readings 0, 64, 128, 192, 255, …
    QTest::addColumn<qint64>("now");
    QTest::addColumn<QString>("points"); // x/y, "!" where the reading lit the lamp
    QTest::newRow("nothingYet") << QList<int>{} << qint64(1000) << "";
    QTest::newRow("newestAtRightEdgeZeroAtBottom")
        << QList<int>{1000} << qint64(1000) << "610/275!";
    QTest::newRow("fullSpeedAtTop") << QList<int>{0, 1000, 2000, 3000, 4000} << qint64(4000)
                                    << "570/275! 580/211 590/147! 600/83 610/20!";
    // The newest reading older than the span stays, left of the plot, so the line enters from
    // the left edge; older ones go.
    QTest::newRow("olderThanSpanOneEntersFromTheLeft")
        << QList<int>{0, 1000, 61500} << qint64(62000) << "0/211 605/147!";
    QTest::newRow("stoppedClockKeepsThePicture")
        << QList<int>{0, 30000} << qint64(30000) << "310/275! 610/211";
    QTest::newRow("readingAfterNowHeldAtRightEdge")
        << QList<int>{5000} << qint64(4000) << "610/275!";
}

void TestInstrument::readingsToPoints()
{
    QFETCH(QList<int>, stamps);
    QFETCH(qint64, now);
    QFETCH(QString, points);
    SpeedHistory h;
    const int speeds[] = {0, 64, 128, 192, 255};
    for (int i = 0; i < stamps.size(); ++i)
        h.add({stamps[i], quint8(speeds[i % 5]), i % 2 == 0});
    QStringList shown;
    for (const TrendPoint& p : trendPoints(h, now, 60000, QRectF(10, 20, 600, 255)))
        shown << QStringLiteral("%1/%2%3")
                     .arg(qRound(p.pos.x()))
                     .arg(qRound(p.pos.y()))
                     .arg(p.alarm ? "!" : "");
    QCOMPARE(shown.join(u' '), points);
}

void TestInstrument::rowTexts_data()
{
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("text"); // bytes, then the meaning
    const auto sent = [](const char* name, QByteArray b, const QString& text) {
        QTest::newRow(name) << true << b << QString() << text;
    };
    sent("advance", bytes({0x85, 0x60}), u"85 60  前进，速度 120"_s);
    sent("retreatOddSpeedWentAsEven", bytes({0x86, 0x60}), u"86 60  后退，速度 120"_s);
    sent("hotStartFastest", bytes({0x8A, 0x99}), u"8A 99  热启动，速度 198"_s);
    sent("speedDigitAboveNine", bytes({0x85, 0x1F}), u"85 1F  前进，速度 50"_s);
    sent("brake", bytes({0x87}), u"87  冷制动"_s);
    // One of each pair: a swap within it shows.
    sent("left", bytes({0x81}), u"81  左转"_s);
    sent("centreAfterLeft", bytes({0x83}), u"83  左转后回正"_s);
    sent("rangingOn", bytes({0x88}), u"88  超声测距开"_s);
    sent("rawByte", bytes({0x10}), u"10  自定义命令"_s);
    sent("rawSpeedCodeAloneTakesTheNextByte", bytes({0x85}), u"85  前进（下一字节作速度）"_s);
    QTest::newRow("failedSendMarked") << true << bytes({0x87}) << u"发送超时：线路忙，此帧未发送"_s
                                      << u"87  失败：发送超时：线路忙，此帧未发送"_s;
    QTest::newRow("reading") << false << bytes({0x3C}) << QString() << u"3C  读数 60R/Min"_s;
    QTest::newRow("readingBelowTen")
        << false << bytes({0x05}) << QString() << u"05  读数 05R/Min"_s;
    QTest::newRow("twoBytesNoReading")
        << false << bytes({0x12, 0x34}) << QString() << u"12 34  2 个字节，无读数"_s;
}

void TestInstrument::rowTexts()
{
    QFETCH(bool, sent);
    QFETCH(QByteArray, frame);
    QFETCH(QString, failure);
    QFETCH(QString, text);
    const TrafficRow r = row(sent ? Direction::Sent : Direction::Received, frame, failure);
    QCOMPARE(hexText(r.bytes) + u"  "_s + trafficMeaning(r), text);
}

void TestInstrument::logKeepsTheNewestRowsAndCountsTheRest()
{
    TrafficLog log(10);
    int next = 0;
    const auto batch = [&](int n) {
        std::vector<TrafficRow> rows;
        for (int i = 0; i < n; ++i)
            rows.push_back(row(Direction::Received, QByteArray(1, char(next++))));
        log.take(rows);
    };
    batch(4);
    batch(3);
    QVERIFY(log.rowCount() == 7 && log.dropped() == 0);
    batch(5); // fills the log and pushes the two oldest out
    QVERIFY(log.rowCount() == 10 && log.dropped() == 2);
    batch(13); // more than the log holds at once: only the newest ten stay
    QCOMPARE(log.rowCount(), 10);
    QCOMPARE(log.dropped(), 15);
    QCOMPARE(log.index(0, TrafficLog::BytesColumn).data().toString(), u"0F"_s);
    QCOMPARE(log.index(9, TrafficLog::TimeColumn).data().toString(), u"09:05:03.042"_s);
    QCOMPARE(log.index(9, TrafficLog::MeaningColumn).data().toString(), u"读数 24R/Min"_s);
}

void TestInstrument::recordingHoldsTheRun()
{
    QTemporaryDir home;
    const QString folder = home.filePath(u"文档/smartcar-console"_s); // made when needed
    CsvRecorder rec;
    QVERIFY(rec.start(folder, sample()));
    QCOMPARE(QFileInfo(rec.filePath()).fileName(), u"行驶记录-20261207-090503.csv"_s);
    TrafficRow reading = row(Direction::Received, bytes({0x41}));
    reading.lampLit = true;
    QVERIFY(rec.append(row(Direction::Sent, bytes({0x85, 0x60}))));
    QVERIFY(rec.append(reading));
    // A failure text from the system may hold anything a CSV field must quote.
    QVERIFY(
        rec.append(row(Direction::Sent, bytes({0x87}), u"设备 \"/dev/ttyUSB0\" 已断开, 请检查"_s)));
    // Each row is in the file at once, before the recording stops.
    QFile file(rec.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             "\xEF\xBB\xBF"
                 + QStringLiteral("时间,方向,字节,含义,速度(R/Min),报警灯\r\n"
                                  "2026-12-07T09:05:03.042+08:00,发送,85 60,前进，速度 120,,灭\r\n"
                                  "2026-12-07T09:05:03.042+08:00,接收,41,读数 65R/Min,65,亮\r\n"
                                  "2026-12-07T09:05:03.042+08:00,发送,87,"
                                  "\"失败：设备 \"\"/dev/ttyUSB0\"\" 已断开, 请检查\",,灭\r\n")
                       .toUtf8());
    rec.stop();
    QVERIFY(!rec.isRecording() && !rec.append(reading));
}

void TestInstrument::recordingNeverOverwrites()
{
    QTemporaryDir folder;
    CsvRecorder first;
    CsvRecorder second;
    QVERIFY(first.start(folder.path(), sample()) && second.start(folder.path(), sample()));
    QCOMPARE(QFileInfo(second.filePath()).fileName(), u"行驶记录-20261207-090503-2.csv"_s);
    QVERIFY(first.append(row(Direction::Sent, bytes({0x87}))));
    QVERIFY(QFileInfo(first.filePath()).size() > QFileInfo(second.filePath()).size());
}

void TestInstrument::recordingFails_data()
{
    QTest::addColumn<bool>("atStart"); // else the disk fills up during the run
    QTest::addColumn<QString>("error");
    QTest::newRow("folderCannotBeMade") << true << u"无法创建文件夹"_s;
    QTest::newRow("diskFillsUp") << false << u"无法写入文件"_s;
}

void TestInstrument::recordingFails()
{
    QFETCH(bool, atStart);
    QFETCH(QString, error);
    QTemporaryDir home;
    // A file where the folder should be: no permission bits stop root, this does.
    QFile blocker(home.filePath(u"smartcar-console"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = atStart ? blocker.fileName() : home.path();

    CsvRecorder rec;
    QCOMPARE(rec.start(folder, sample()), !atStart);
    if (!atStart) {
        // The disk is full a few bytes on: the system refuses the rest of the file.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        });
        rlimit full = old;
        full.rlim_cur = rlim_t(QFileInfo(rec.filePath()).size() + 10);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
        QVERIFY(!rec.append(row(Direction::Sent, bytes({0x85, 0x60}))));
    }
    QVERIFY2(rec.error().startsWith(error), qPrintable(rec.error()));
    // It has stopped: nothing more is tried.
    QVERIFY(!rec.isRecording() && !rec.append(row(Direction::Sent, bytes({0x87}))));
}

QTEST_GUILESS_MAIN(TestInstrument)
#include "test_instrument.moc"
