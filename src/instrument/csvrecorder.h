#pragma once

#include "instrument/traffic.h"

#include <QFile>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

// Recording a run: the traffic rows appended to a CSV file as they happen.

namespace smartcar {

// The file's name for a recording started at `start`: "行驶记录-YYYYMMDD-HHMMSS.csv".
QString recordingFileName(const QDateTime& start);

// One row as a CSV line, without its line end: ISO 8601 time with milliseconds and the UTC
// offset, direction, bytes, meaning, the speed in R/Min for a reading, the lamp ("亮"/"灭").
// Fields are quoted where they need it.
QByteArray csvLine(const TrafficRow& row);

// The disk a recording writes to: one write of a whole line to the file, as QFile::write, and
// how long a row may take before the disk counts as stalled. The file's own unless a test
// hands a disk that stalls or fills up.
struct RecordingDisk
{
    std::function<qint64(QFile& file, const QByteArray& line)> write;
    std::chrono::milliseconds stallLimit{3000};
};

// Writes one recording. The file is UTF-8 with a byte-order mark, so that spreadsheet
// programs read the Chinese, and has a header line.
//
// The rows reach the file on a thread of the recording's own, each in one write as soon as
// the disk takes it, so that the window never waits for the disk: a stalled disk (a network
// home folder, a dying USB stick) holds up the recording, never a frame or the brake. A crash
// of the console loses at most the rows still on their way.
//
// A file that cannot be made or written ends the recording: error() says why and how many
// rows were not written, and nothing more is attempted until start() is called again. So does
// a disk that has not taken a row within its stall limit, and one so slow that kQueueLimit rows
// wait for it. Rows the file has taken stay in it; a full disk leaves it ending with a whole
// row.
class CsvRecorder
{
public:
    static constexpr qsizetype kQueueLimit = 10000;

    explicit CsvRecorder(RecordingDisk disk = {});
    // A running recording ends: the rows on their way are given a moment to reach the file.
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Creates `folder` where needed and a new file in it with its header line, never
    // overwriting one: a name that is taken gets "-2", "-3"… Returns false (and sets error())
    // when that fails.
    bool start(const QString& folder, const QDateTime& now);
    // Hands the row on to the file. Returns false, and stops, when the recording has failed
    // or its queue is full; false without a word when it is not recording.
    bool append(const TrafficRow& row);
    // Looks how the writing goes: false, and stopped, once the file has failed or stalled.
    bool check();
    // Ends the recording; the rows on their way still reach the file, without anyone waiting.
    void stop();
    // Waits at most `limit` for every row handed on to be in the file (or the writing to have
    // failed); true when none is still on its way.
    bool waitWritten(std::chrono::milliseconds limit);

    bool isRecording() const { return m_writing != nullptr; }
    // The file of the running recording, or of the last one.
    QString filePath() const { return m_filePath; }
    QString error() const { return m_error; }

    struct Writing; // what the recording's thread shares with it

private:
    void stopFailed(const QString& why, qint64 unwritten);

    decltype(RecordingDisk::write) m_write;
    std::chrono::milliseconds m_stallLimit;
    std::shared_ptr<Writing> m_writing;
    QString m_filePath;
    QString m_error;
};

} // namespace smartcar
