#pragma once

#include "instrument/traffic.h"

#include <QFile>
#include <QString>

// Recording a run: the traffic rows appended to a CSV file as they happen.

namespace smartcar {

// The file's name for a recording started at `start`: "行驶记录-YYYYMMDD-HHMMSS.csv".
QString recordingFileName(const QDateTime& start);

// One row as a CSV line, without its line end: ISO 8601 time with milliseconds and the UTC
// offset, direction, bytes, meaning, the speed in R/Min for a reading, the lamp ("亮"/"灭").
// Fields are quoted where they need it.
QByteArray csvLine(const TrafficRow& row);

// Writes one recording. The file is UTF-8 with a byte-order mark, so that spreadsheet
// programs read the Chinese, and has a header line. Every row goes to the system as soon as
// it is appended: a crash of the console loses at most the row being written.
//
// A file that cannot be made or written ends the recording: the file is closed, error() says
// why, and nothing more is attempted until start() is called again.
class CsvRecorder
{
public:
    // Creates `folder` where needed and a new file in it, never overwriting one: a name that
    // is taken gets "-2", "-3"… Returns false (and sets error()) when that fails.
    bool start(const QString& folder, const QDateTime& now);
    // Returns false, and stops, when the row could not be written whole.
    bool append(const TrafficRow& row);
    void stop();

    bool isRecording() const { return m_file.isOpen(); }
    // The file of the running recording, or of the last one.
    QString filePath() const { return m_file.fileName(); }
    QString error() const { return m_error; }

private:
    bool write(const QByteArray& bytes);

    QFile m_file;
    QString m_error;
};

} // namespace smartcar
