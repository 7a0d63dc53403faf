// Reading a recording back: the console's own files, the same after a spreadsheet saved them
// (another encoding, line end, quoting, column order), a file cut short, rows that cannot be
// read; and where the play position stands. Runs on Windows too, where GB18030 is the system's.
#include "instrument/csvrecorder.h"
#include "replay/recording.h"
#include "support/checks.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace smartcar {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 5, 3, 42), QTimeZone(8 * 3600));

// A frame, a reading that lit the lamp, a failed frame, as the console writes them.
const QByteArray kOwnFile = "\xEF\xBB\xBF"
                            "时间,方向,字节,含义,速度(R/Min),报警灯\r\n"
                            "2026-12-07T09:05:03.042+08:00,发送,85 60,前进，速度 120,,灭\r\n"
                            "2026-12-07T09:05:03.542+08:00,接收,41,读数 65R/Min,65,亮\r\n"
                            "2026-12-07T09:05:04.042+08:00,发送,87,失败：通信端口未打开,,亮\r\n";
// kOwnFile without its mark, in GB18030, as a Chinese Windows spreadsheet saves it.
const QByteArray kGb18030File =
    "\xca\xb1\xbc\xe4,\xb7\xbd\xcf\xf2,\xd7\xd6\xbd\xda,\xba\xac\xd2\xe5,\xcb\xd9\xb6\xc8(R/Min),"
    "\xb1\xa8\xbe\xaf\xb5\xc6\r\n"
    "2026-12-07T09:05:03.042+08:00,\xb7\xa2\xcb\xcd,85 60,\xc7\xb0\xbd\xf8\xa3\xac\xcb\xd9\xb6\xc8"
    " 120,,\xc3\xf0\r\n"
    "2026-12-07T09:05:03.542+08:00,\xbd\xd3\xca\xd5,41,\xb6\xc1\xca\xfd 65R/Min,65,\xc1\xc1\r\n"
    "2026-12-07T09:05:04.042+08:00,\xb7\xa2\xcb\xcd,87,\xca\xa7\xb0\xdc\xa3\xba\xcd\xa8\xd0\xc5"
    "\xb6\xcb\xbf\xda\xce\xb4\xb4\xf2\xbf\xaa,,\xc1\xc1\r\n";
} // namespace

class TestRecording : public QObject
{
    Q_OBJECT
private slots:
    void recordersOwnFileReadsBack()
    {
        QTemporaryDir dir;
        CsvRecorder recorder;
        QVERIFY(recorder.start(dir.path(), kStart));
        using D = TrafficRow::Direction;
        recorder.append({kStart, D::Sent, bytes({0x85, 0x60}), {}, false, {}});
        recorder.append({kStart.addMSecs(500), D::Received, bytes({0x41}), {}, true, {}});
        recorder.append({kStart.addMSecs(900), D::Received, {}, {}, true, {}}); // silent
        recorder.append({kStart.addMSecs(1000), D::Sent, bytes({0x87}), u"线路忙"_s, true, {}});
        QVERIFY(recorder.waitWritten(5s));
        recorder.stop();

        const Recording rec = readRecordingFile(recorder.filePath());
        QCOMPARE(rec.error, QString());
        QCOMPARE(rec.firstProblem, QString());
        QCOMPARE(rec.rows.size(), 4);
        QCOMPARE(rec.start, kStart);
        QCOMPARE(rec.durationMs, 1000);
        QCOMPARE(rec.sentFrames, 1);
        QCOMPARE(rec.rows[0].bytes, bytes({0x85, 0x60}));
        QVERIFY(rec.rows[0].sent);
        QCOMPARE(rec.rows[1].speed, std::optional(0x41));
        QVERIFY(rec.rows[1].lampLit);
        QCOMPARE(rec.rows[2].speed, std::nullopt);
        QVERIFY(rec.rows[3].failed);
        QVERIFY(rec.drivable());
    }

    // The same three rows, saved again each way a spreadsheet saves them, or cut short.
    void spreadsheetSavedFilesRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("rows");
        const QByteArray plain = kOwnFile.mid(3);
        QTest::newRow("asWritten") << kOwnFile << 3;
        QTest::newRow("utf8WithoutMarkLf") << QByteArray(plain).replace("\r\n", "\n") << 3;
        QTest::newRow("gb18030") << kGb18030File << 3;
        QTest::newRow("everyFieldQuoted") << QByteArray(
            "\"时间\",\"方向\",\"字节\",\"含义\"\r\n"
            "\"2026-12-07T09:05:03.042+08:00\",\"发送\",\"85 60\",\"前进，\"\"快\"\"\"\r\n"
            "\"2026-12-07T09:05:03.542+08:00\",\"接收\",\"41\",\"读数\"\r\n"
            "\"2026-12-07T09:05:04.042+08:00\",\"发送\",\"87\",\"失败：x\"\r\n")
                                          << 3;
        QTest::newRow("columnsReorderedAndAdded")
            << QByteArray("备注,字节,报警灯,方向,时间\n"
                          ",85 60,灭,发送,2026-12-07T09:05:03.042+08:00\n"
                          "x,41,亮,接收,2026-12-07T09:05:03.542+08:00\n"
                          ",,亮,接收,2026-12-07T09:05:04.042+08:00\n\n")
            << 3;
        QTest::newRow("localTimesOfASpreadsheet")
            << QByteArray("时间,方向,字节\r\n2026/12/7 9:05:03.042,发送,85 60\r\n"
                          "2026/12/7 9:05:03.542,接收,41\r\n2026/12/7 9:05:04.042,发送,87\r\n")
            << 3;
        QTest::newRow("cutShortInARow") << kOwnFile.left(kOwnFile.size() - 12) << 2;
        QTest::newRow("cutShortInAChineseCharacter") << kOwnFile.left(kOwnFile.size() - 4) << 2;
        QTest::newRow("lastLineWithoutItsEnd") << kOwnFile.chopped(2) << 3;
    }

    void spreadsheetSavedFilesRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, rows);
        const Recording rec = readRecording(file);
        QCOMPARE(rec.error, QString());
        QCOMPARE(rec.firstProblem, QString());
        QCOMPARE(rec.rows.size(), rows);
        QCOMPARE(rec.rows[0].bytes, bytes({0x85, 0x60}));
        QVERIFY(rec.rows[0].sent);
        QCOMPARE(rec.rows[1].offsetMs, 500);
        QCOMPARE(rec.rows[1].speed, std::optional(0x41));
    }

    // A bad row is named by its line and shown; the rest reads; the file cannot drive.
    void badRowsNamedByTheirLine()
    {
        const Recording rec = readRecording("时间,方向,字节\n"
                                            "2026-12-07T09:05:03.042+08:00,发送,85 60\n"
                                            "yesterday,发送,87\n"
                                            "2026-12-07T09:05:04.042+08:00,向左,81\n"
                                            "2026-12-07T09:05:04.542+08:00,发送,8G\n"
                                            "2026-12-07T09:05:02.000+08:00,发送,87\n"
                                            "2026-12-07T09:05:05.042+08:00,发送,83\n");
        QCOMPARE(rec.rows.size(), 6);
        QCOMPARE(rec.firstProblem, u"第 3 行：无法读取时间“yesterday”"_s);
        QCOMPARE(rec.rows[2].problem, u"第 4 行：方向应为“发送”或“接收”，而不是“向左”"_s);
        QCOMPARE(rec.rows[3].problem, u"第 5 行：字节“8G”不是十六进制数"_s);
        QCOMPARE(rec.rows[4].problem, u"第 6 行：时间早于上一行"_s);
        QCOMPARE(rec.rows[5].offsetMs, 2000);
        QCOMPARE(rec.sentFrames, 2);
        QVERIFY(!rec.drivable());
    }

    void filesThatAreNoRecording_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QByteArray() << u"文件是空的"_s;
        QTest::newRow("anotherTable")
            << QByteArray("a,b\n1,2\n") << u"不是行驶记录：第一行应有“时间”“方向”和“字节”三列"_s;
        QTest::newRow("notText") << QByteArray("\xff\xfe\x00\x81\x30", 5)
                                 << u"无法识别文件的编码：应为 UTF-8 或 GB18030"_s;
    }

    void filesThatAreNoRecording()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QCOMPARE(readRecording(file).error, error);
    }

    void playPositionStandsOnItsRow()
    {
        const Recording rec = readRecording(kOwnFile);
        QCOMPARE(rowAt(rec, -1), -1);
        QCOMPARE(rowAt(rec, 0), 0);
        QCOMPARE(rowAt(rec, 499), 0);
        QCOMPARE(rowAt(rec, 500), 1);
        QCOMPARE(rowAt(rec, 5000), 2);
        QCOMPARE(nextRowOffset(rec, 0), 500);
        QCOMPARE(nextRowOffset(rec, 1000), 1000);
        QCOMPARE(previousRowOffset(rec, 700), 500);
        QCOMPARE(previousRowOffset(rec, 0), 0);
    }
};

} // namespace smartcar

QTEST_GUILESS_MAIN(smartcar::TestRecording)
#include "test_recording.moc"
