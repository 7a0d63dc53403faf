// The speed trend's readings and points, the traffic rows' texts and the recording file.
#include "instrument/csvrecorder.h"
#include "instrument/instrumentpanel.h"
#include "instrument/speedhistory.h"
#include "instrument/traffic.h"
#include "support/checks.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/resource.h>

namespace smartcar {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Direction = TrafficRow::Direction;
using Readings = QList<TimedReading>;

const QDateTime kAt(QDate(2026, 12, 7), QTime(9, 5, 3, 42), QTimeZone(8 * 3600));
const auto row = [](Direction direction, const QByteArray& b, const QString& failure = {}) {
    return TrafficRow{kAt, direction, b, failure, false, {}};
};

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT
private slots:
    void historyKeepsTheNewest()
    {
        SpeedHistory h(3);
        for (int i = 1; i <= 11; ++i)
            h.add({i * 100, quint8(i), false});
        QList<int> speeds;
        for (int i = 0; i < h.size(); ++i)
            speeds << h.at(i).speed;
        QCOMPARE(speeds, (QList<int>{9, 10, 11}));
    }

    void readingsToPoints_data()
    {
        // The plot is 600 wide and 255 high from (10, 20): a speed's y is 275 minus the speed;
        // with a span of 60 s a reading's x is 610 minus its age in tenths of a second.
        QTest::addColumn<Readings>("readings");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<QList<QPoint>>("points"); // rounded
        QTest::addColumn<QList<bool>>("alarms");
        QTest::newRow("newestAtRightEdgeFullSpeedAtTopZeroAtBottom")
            << Readings{{0, 0, true}, {1000, 64, false}, {2000, 128, true}, {4000, 255, true}}
            << qint64(4000) << QList<QPoint>{{570, 275}, {580, 211}, {590, 147}, {610, 20}}
            << QList<bool>{true, false, true, true};
        // The newest reading older than the span stays, left of the plot, so the line enters from
        // the left edge; older ones go.
        QTest::newRow("olderThanSpanOneEntersFromTheLeft")
            << Readings{{0, 0, true}, {1000, 64, false}, {61500, 128, true}} << qint64(62000)
            << QList<QPoint>{{0, 211}, {605, 147}} << QList<bool>{false, true};
        QTest::newRow("readingAfterNowHeldAtRightEdge")
            << Readings{{5000, 0, true}} << qint64(4000) << QList<QPoint>{{610, 275}}
            << QList<bool>{true};
    }

    void readingsToPoints()
    {
        QFETCH(Readings, readings);
        QFETCH(qint64, now);
        QFETCH(QList<QPoint>, points);
        QFETCH(QList<bool>, alarms);
        SpeedHistory h;
        for (const TimedReading& reading : readings)
            h.add(reading);
        QList<QPoint> shown;
        QList<bool> lit;
        for (const TrendPoint& p : trendPoints(h, now, 60000, QRectF(10, 20, 600, 255))) {
            shown << p.pos.toPoint();
            lit << p.alarm;
        }
        QCOMPARE(shown, points);
        QCOMPARE(lit, alarms);
    }

    void rowMeanings_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QByteArray>("earlier"); // sent before the row, as the car read it
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("meaning");
        const auto sent = [](const char* name, QByteArray b, const QString& meaning,
                             const QByteArray& earlier = {}) {
            QTest::newRow(name) << Direction::Sent << earlier << b << meaning;
        };
        sent("retreatOddSpeedWentAsEven", bytes({0x86, 0x60}), u"后退，速度 120"_s);
        sent("hotStartSpeedDigitAboveNine", bytes({0x8A, 0x1F}), u"热启动，速度 50"_s);
        sent("brake", bytes({0x87}), u"冷制动"_s);
        // One of each pair: a swap within it shows.
        sent("left", bytes({0x81}), u"左转"_s);
        sent("centreAfterLeft", bytes({0x83}), u"左转后回正"_s);
        sent("rangingOn", bytes({0x88}), u"超声测距开"_s);
        sent("rawByte", bytes({0x10}), u"自定义命令"_s);
        sent("rawSpeedCodeAloneTakesTheNextByte", bytes({0x85}), u"前进（下一字节作速度）"_s);
        // After a speed code sent alone the car reads the next byte as its speed.
        sent("brakeTypedAfterIsASpeed", bytes({0x87}), u"前进的速度字节，速度 174"_s,
             bytes({0x85}));
        sent("brakeBehindItsFiller", bytes({0x00, 0x87}), u"填充字节（后退，速度 0）；冷制动"_s,
             bytes({0x86}));
        sent("speedFrameBehindItsFiller", bytes({0x00, 0x85, 0x60}),
             u"填充字节（热启动，速度 0）；前进，速度 120"_s, bytes({0x8A}));
        QTest::newRow("twoBytesNoReading")
            << Direction::Received << QByteArray() << bytes({0x12, 0x34}) << u"2 个字节，无读数"_s;
    }

    void rowMeanings()
    {
        QFETCH(Direction, direction);
        QFETCH(QByteArray, earlier);
        QFETCH(QByteArray, frame);
        QFETCH(QString, meaning);
        TrafficRow sent = row(direction, frame);
        sent.before.read(earlier);
        QCOMPARE(trafficMeaning(sent), meaning);
    }

    void logKeepsTheNewestRowsAndCountsTheRest()
    {
        TrafficLog log(10);
        int next = 0;
        const auto batch = [&](int n) {
            std::vector<TrafficRow> rows;
            for (int i = 0; i < n; ++i)
                rows.push_back(row(Direction::Received, QByteArray(1, char(next++))));
            log.take(rows);
        };
        batch(7);
        batch(5); // fills the log and pushes the two oldest out
        QCOMPARE(log.rowCount(), 10);
        QCOMPARE(log.dropped(), 2);
        batch(13); // more than the log holds at once: only the newest ten stay
        QCOMPARE(log.rowCount(), 10);
        QCOMPARE(log.dropped(), 15);
        QCOMPARE(log.index(0, TrafficLog::BytesColumn).data().toString(), u"0F"_s);
        QCOMPARE(log.index(9, TrafficLog::TimeColumn).data().toString(), u"09:05:03.042"_s);
        QCOMPARE(log.index(9, TrafficLog::MeaningColumn).data().toString(), u"读数 24R/Min"_s);

        // A batch of exactly the capacity meets a log not yet grown to it, partly filled.
        TrafficLog small(4);
        next = 0;
        for (int n : {3, 4, 2, 3}) {
            std::vector<TrafficRow> rows;
            for (int i = 0; i < n; ++i)
                rows.push_back(row(Direction::Received, QByteArray(1, char(next++))));
            small.take(rows);
            QList<int> kept;
            for (int i = 0; i < small.rowCount(); ++i)
                kept << small.row(i).bytes.at(0);
            QCOMPARE(kept.size(), qMin(next, 4));
            QCOMPARE(kept.last(), next - 1);
            QCOMPARE(kept.first(), next - kept.size());
        }
    }

    // Rows reach a shown list in batches: a few rows together once the list's delay is over, a
    // burst in pieces of a bounded size at once, each batch one insertion in its order. With no
    // list shown there is nothing to wait for.
    void listTakesRowsInBatches()
    {
        InstrumentPanel panel({}, nullptr);
        TrafficLog* log = panel.log();
        QSignalSpy inserted(log, &QAbstractItemModel::rowsInserted);
        panel.note(row(Direction::Sent, "\x87")); // no list shows the log: no batch to wait for
        QCOMPARE(log->rowCount(), 1);
        panel.setListShown(true);
        inserted.clear();
        for (int i = 0; i < 3; ++i)
            panel.note(row(Direction::Received, QByteArray(1, char(i))));
        QCOMPARE(log->rowCount(), 1);
        QTRY_COMPARE(log->rowCount(), 4);
        QCOMPARE(inserted.size(), 1);

        inserted.clear();
        for (int i = 0; i < 600; ++i)
            panel.note(row(Direction::Received, QByteArray(1, char(i))));
        QCOMPARE(inserted.size(), 2); // two full pieces without waiting; the rest follows
        const int listedAtOnce = log->rowCount() - 4;
        QVERIFY(listedAtOnce > 0);
        QVERIFY(listedAtOnce < 600);
        panel.setListShown(false); // the list closes: what waited for it is in the log now
        QCOMPARE(log->rowCount(), 604);
        QCOMPARE(inserted.size(), 3);
        QCOMPARE(log->row(603).bytes, QByteArray(1, char(599)));
    }

    // The list keeps the head of a long read and says how long it was; the recording, which
    // took the row before the list, writes every byte.
    void longReadListedByItsHead()
    {
        const TrafficRow flood = row(Direction::Received, QByteArray(1024, '\x3C'));
        QCOMPARE(csvLine(flood).count("3C"), 1024);
        TrafficLog log;
        std::vector<TrafficRow> rows{flood};
        log.take(rows);
        QCOMPARE(log.row(0).bytes.size(), TrafficLog::kListedBytes);
        QCOMPARE(log.index(0, TrafficLog::BytesColumn).data().toString(),
                 hexText(QByteArray(24, '\x3C')) + u" … 共 1024 个字节"_s);
        QCOMPARE(log.index(0, TrafficLog::MeaningColumn).data().toString(),
                 u"1024 个字节，无读数"_s);
    }

    void recordingHoldsTheRun()
    {
        QTemporaryDir home;
        const QString folder = home.filePath(u"文档/smartcar-console"_s); // made when needed
        CsvRecorder rec;
        QVERIFY(rec.start(folder, kAt));
        QCOMPARE(QFileInfo(rec.filePath()).fileName(), u"行驶记录-20261207-090503.csv"_s);
        TrafficRow reading = row(Direction::Received, bytes({0x41}));
        reading.lampLit = true;
        QVERIFY(rec.append(row(Direction::Sent, bytes({0x85, 0x60}))));
        QVERIFY(rec.append(reading));
        // A failure text from the system may hold anything a CSV field must quote.
        QVERIFY(rec.append(
            row(Direction::Sent, bytes({0x87}), u"设备 \"/dev/ttyUSB0\" 已断开, 请检查"_s)));
        // Each row reaches the file by itself, before the recording stops.
        QVERIFY(rec.waitWritten(5s));
        QFile file(rec.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 "\xEF\xBB\xBF"
                     + QStringLiteral(
                           "时间,方向,字节,含义,速度(R/Min),报警灯\r\n"
                           "2026-12-07T09:05:03.042+08:00,发送,85 60,前进，速度 120,,灭\r\n"
                           "2026-12-07T09:05:03.042+08:00,接收,41,读数 65R/Min,65,亮\r\n"
                           "2026-12-07T09:05:03.042+08:00,发送,87,"
                           "\"失败：设备 \"\"/dev/ttyUSB0\"\" 已断开, 请检查\",,灭\r\n")
                           .toUtf8());
        rec.stop();
        QVERIFY(!rec.isRecording());
        QVERIFY(!rec.append(reading));
        // A second recording in the same second never overwrites the first.
        CsvRecorder second;
        QVERIFY(second.start(folder, kAt));
        QCOMPARE(QFileInfo(second.filePath()).fileName(), u"行驶记录-20261207-090503-2.csv"_s);
        QVERIFY(QFileInfo(rec.filePath()).size() > QFileInfo(second.filePath()).size());
    }

    // A folder that cannot be made: test_instrument_window.
    void recordingStopsWhenTheDiskFillsUp()
    {
        QTemporaryDir home;
        CsvRecorder rec;
        QVERIFY(rec.start(home.path(), kAt));
        QVERIFY(rec.waitWritten(5s));
        const qint64 header = QFileInfo(rec.filePath()).size();
        // The disk is full a few bytes on: the system takes part of the row, then no more.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        });
        rlimit full = old;
        full.rlim_cur = rlim_t(header + 10);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
        QVERIFY(rec.append(row(Direction::Sent, bytes({0x85, 0x60}))));
        QVERIFY(rec.waitWritten(5s));
        QVERIFY(!rec.check());
        QCOMPARE(rec.error(), u"无法写入文件 %1：磁盘空间不足（1 行未写入）"_s.arg(rec.filePath()));
        QVERIFY(!rec.isRecording());
        QVERIFY(!rec.append(row(Direction::Sent, bytes({0x87}))));
        QCOMPARE(QFileInfo(rec.filePath()).size(), header); // no half row at the end
    }

    // A disk that stops taking rows holds up only the recording: append never waits for it,
    // and once a row has been with the disk past the stall limit the recording stops, saying
    // how many rows behind it were not written. The row with the disk still lands, whole.
    void stalledDiskStopsTheRecordingNotTheCaller()
    {
        QTemporaryDir home;
        std::mutex disk;
        std::unique_lock stalled(disk, std::defer_lock);
        std::atomic<int> writes = 0;
        RecordingDisk slow;
        slow.stallLimit = 200ms;
        slow.write = [&](QFile& file, const QByteArray& line) {
            if (++writes > 1) // the header goes through; the rows wait for the disk
                const std::lock_guard wait(disk);
            return file.write(line);
        };
        stalled.lock();
        CsvRecorder rec(slow);
        QVERIFY(rec.start(home.path(), kAt));
        for (int i = 0; i < 3; ++i)
            QVERIFY(rec.append(row(Direction::Sent, bytes({0x87}))));
        QVERIFY(!rec.waitWritten(100ms));
        QTRY_VERIFY(!rec.check());
        QCOMPARE(rec.error(),
                 u"无法写入文件 %1：磁盘在 0.2 秒内没有写完一行（2 行未写入）"_s.arg(
                     rec.filePath()));
        QVERIFY(!rec.isRecording());
        stalled.unlock();
        // The header and the row that was with the disk; nothing after it.
        const auto lines = [&] {
            QFile file(rec.filePath());
            return file.open(QIODevice::ReadOnly) ? file.readAll().count("\r\n") : -1;
        };
        QTRY_COMPARE(lines(), 2);
        QCOMPARE(writes.load(), 2);
    }
};

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestInstrument)
#include "test_instrument.moc"
