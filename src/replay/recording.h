#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace smartcar {

// One row of a recording as read back: when it happened, which way it went, its bytes and
// what the recording said of it.
struct RecordedRow
{
    int line = 0;        // in the file, the header being line 1
    qint64 offsetMs = 0; // from the recording's first row (Recording::start)
    bool sent = false;   // 发送; otherwise 接收
    QByteArray bytes;
    QString meaning;
    bool failed = false; // a send that did not go out
    bool lampLit = false;
    std::optional<int> speed; // a reading, in R/Min
    // A row that could not be read: "第 N 行：<why>"; the fields above are empty then.
    QString problem;
};

// A recording read back, every row in the order of the file. Rows that say the same share
// their bytes and meaning: an hour of readings costs a few megabytes.
struct Recording
{
    QList<RecordedRow> rows;
    QDateTime start;       // the first readable row's time
    qint64 durationMs = 0; // to the last readable row
    int sentFrames = 0;    // sends that went out, the frames a drive plays again
    QString firstProblem;  // the first bad row's words; empty when every row reads
    // Why nothing could be read at all (no header, not a recording); empty otherwise.
    QString error;

    bool drivable() const { return error.isEmpty() && firstProblem.isEmpty() && sentFrames > 0; }
};

// The row the play position `ms` stands on: the last readable row at or before it (-1: none).
qsizetype rowAt(const Recording& recording, qint64 ms);
// The position of the readable row before or after the one at `ms` (`ms` itself when there is
// none).
qint64 previousRowOffset(const Recording& recording, qint64 ms);
qint64 nextRowOffset(const Recording& recording, qint64 ms);

// Reads the bytes of a recording: as this console writes it, or as a spreadsheet saved it
// again (UTF-8 with or without a byte-order mark, GB18030, CRLF or LF, quoted or not, extra
// or reordered columns found by their header), or cut short by a crash (a last line without
// its end is left out).
Recording readRecording(const QByteArray& bytes);
// The same, from a file; a file that cannot be read gives a recording with its error.
Recording readRecordingFile(const QString& path);

// GB18030 as Chinese Windows spreadsheets save it, decoded by ICU where Qt has it and by the
// system's own code page on Windows (936, GBK, where 54936 is missing). Nothing for bytes that
// are not GB18030.
std::optional<QString> decodeGb18030(const QByteArray& bytes);

} // namespace smartcar
