#include "replay/recording.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace smartcar {

namespace {

// One record of the file: its fields, the line it starts on, and whether its line ended (the
// last one of a file cut short does not).
struct Record
{
    int line = 0;
    QStringList fields;
    bool ended = false;
};

// Comma-separated records, fields quoted or not, lines ended by CRLF, LF or CR, each handed to
// `take` as it is read; `take` returns false to stop.
template <typename Take>
void forEachRecord(QStringView text, Take take)
{
    bool going = true;
    Record record;
    QString field;
    bool quoted = false;
    bool any = false; // the record has begun
    int line = 1;
    record.line = 1;
    const auto endRecord = [&](bool ended) {
        record.fields << field;
        record.ended = ended;
        going = take(record);
        record = Record{};
        record.line = line;
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; going && i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u',') {
            record.fields << field;
            field.clear();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++line;
            endRecord(true);
        } else {
            field += c;
            any = true;
        }
    }
    if (going && (any || !field.isEmpty()))
        endRecord(false); // no line end: the file stops inside this record
}

std::optional<QDateTime> timeOf(const QString& text)
{
    const QString t = text.trimmed();
    for (const Qt::DateFormat format : {Qt::ISODateWithMs, Qt::ISODate}) {
        const QDateTime at = QDateTime::fromString(t, format);
        if (at.isValid())
            return at;
    }
    // As spreadsheets show times they have taken for dates: in local time, to the second or
    // the millisecond.
    static const QStringList formats = {
        QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
        QStringLiteral("yyyy/M/d H:mm:ss.zzz"),    QStringLiteral("yyyy/M/d H:mm:ss"),
        QStringLiteral("yyyy/M/d H:mm"),
    };
    for (const QString& format : formats) {
        const QDateTime at = QDateTime::fromString(t, format);
        if (at.isValid())
            return at;
    }
    return std::nullopt;
}

std::optional<QByteArray> bytesOf(const QString& text)
{
    QByteArray out;
    for (const QString& part : text.split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || value > 0xFF)
            return std::nullopt;
        out += char(value);
    }
    return out;
}

QString decoded(const QByteArray& raw, QString* error)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    const bool marked = raw.startsWith(bom);
    QStringDecoder utf8(QStringConverter::Utf8);
    // A sequence cut off at the very end is held back, with no error.
    const QString text = utf8(marked ? raw.mid(bom.size()) : raw);
    if (!utf8.hasError() || marked)
        return text;
    if (const std::optional<QString> gb = decodeGb18030(raw))
        return *gb;
    *error = QStringLiteral("无法识别文件的编码：应为 UTF-8 或 GB18030");
    return {};
}

} // namespace

std::optional<QString> decodeGb18030(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    // Code page 54936 is GB18030 itself. A system without it (Wine) still has 936, GBK: the
    // two-byte part of GB18030, in which spreadsheets write Chinese text.
    const int size = int(qMin<qsizetype>(bytes.size(), std::numeric_limits<int>::max()));
    for (const UINT codePage : {54936u, 936u}) {
        const int wide = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.constData(),
                                             size, nullptr, 0);
        if (wide <= 0)
            continue;
        QString text(wide, Qt::Uninitialized);
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.constData(), size,
                            reinterpret_cast<wchar_t*>(text.data()), wide);
        return text;
    }
    return std::nullopt;
#else
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        return std::nullopt;
    const QString text = gb(bytes);
    if (gb.hasError() || text.contains(QChar::ReplacementCharacter))
        return std::nullopt;
    return text;
#endif
}

Recording readRecording(const QByteArray& raw)
{
    Recording rec;
    const QString text = decoded(raw, &rec.error);
    if (!rec.error.isEmpty())
        return rec;

    // The columns by their header, wherever they stand.
    QHash<QString, qsizetype> column;
    qsizetype columns = 0;
    qsizetype timeAt = -1, directionAt = -1, bytesAt = -1, meaningAt = -1, lampAt = -1;
    bool header = true;
    // Rows that say the same share one copy of it.
    QSet<QString> meanings;
    QSet<QByteArray> byteRuns;
    std::optional<QDateTime> previous;

    forEachRecord(text, [&](const Record& record) {
        const QStringList& f = record.fields;
        if (header) {
            header = false;
            for (qsizetype i = 0; i < f.size(); ++i) {
                QString name = f[i].trimmed();
                name.remove(QChar(0xFEFF));
                column.insert(name, i);
            }
            const auto at = [&](const QString& name) { return column.value(name, -1); };
            timeAt = at(QStringLiteral("时间"));
            directionAt = at(QStringLiteral("方向"));
            bytesAt = at(QStringLiteral("字节"));
            meaningAt = at(QStringLiteral("含义"));
            lampAt = at(QStringLiteral("报警灯"));
            columns = f.size();
            if (timeAt < 0 || directionAt < 0 || bytesAt < 0) {
                rec.error = QStringLiteral("不是行驶记录：第一行应有“时间”“方向”和“字节”三列");
                return false;
            }
            return true;
        }
        if (std::all_of(f.cbegin(), f.cend(),
                        [](const QString& s) { return s.trimmed().isEmpty(); }))
            return true; // a blank line a spreadsheet left
        // A last line without its end was cut short by a crash, unless it has every field, the
        // last one too: the rows before it stand.
        if (!record.ended && (f.size() < columns || f.last().trimmed().isEmpty()))
            return false;
        const auto field = [&](qsizetype i) { return i >= 0 && i < f.size() ? f[i] : QString(); };
        RecordedRow row;
        row.line = record.line;
        const auto bad = [&](const QString& why) {
            row.problem = QStringLiteral("第 %1 行：%2").arg(record.line).arg(why);
        };
        const std::optional<QDateTime> time = timeOf(field(timeAt));
        const QString direction = field(directionAt).trimmed();
        const std::optional<QByteArray> bytes = bytesOf(field(bytesAt));
        if (f.size() <= qMax(timeAt, qMax(directionAt, bytesAt)))
            bad(QStringLiteral("列数不够"));
        else if (!time)
            bad(QStringLiteral("无法读取时间“%1”").arg(field(timeAt).trimmed()));
        else if (direction != QStringLiteral("发送") && direction != QStringLiteral("接收"))
            bad(QStringLiteral("方向应为“发送”或“接收”，而不是“%1”").arg(direction));
        else if (!bytes)
            bad(QStringLiteral("字节“%1”不是十六进制数").arg(field(bytesAt).trimmed()));
        else if (direction == QStringLiteral("发送") && bytes->isEmpty())
            bad(QStringLiteral("发送的行没有字节"));
        else if (previous && *time < *previous)
            bad(QStringLiteral("时间早于上一行"));
        if (!row.problem.isEmpty()) {
            if (rec.firstProblem.isEmpty())
                rec.firstProblem = row.problem;
            rec.rows << row;
            return true;
        }
        if (!rec.start.isValid())
            rec.start = *time;
        previous = time;
        row.offsetMs = rec.start.msecsTo(*time);
        row.sent = direction == QStringLiteral("发送");
        row.bytes = *byteRuns.insert(*bytes);
        row.meaning = *meanings.insert(field(meaningAt).trimmed());
        row.failed = row.sent && row.meaning.startsWith(QStringLiteral("失败"));
        row.lampLit = field(lampAt).trimmed() == QStringLiteral("亮");
        if (!row.sent && row.bytes.size() == 1)
            row.speed = quint8(row.bytes.at(0));
        if (row.sent && !row.failed)
            ++rec.sentFrames;
        rec.durationMs = row.offsetMs;
        rec.rows << row;
        return true;
    });
    if (header && rec.error.isEmpty())
        rec.error = QStringLiteral("文件是空的");
    if (!rec.error.isEmpty())
        rec.rows.clear();
    rec.rows.squeeze();
    return rec;
}

qsizetype rowAt(const Recording& recording, qint64 ms)
{
    // Rows are in time order; a bad row has no time and stands where the file has it.
    qsizetype found = -1;
    qsizetype lo = 0;
    qsizetype hi = recording.rows.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        qsizetype m = mid;
        while (m < hi && !recording.rows[m].problem.isEmpty())
            ++m;
        if (m == hi) {
            hi = mid;
        } else if (recording.rows[m].offsetMs <= ms) {
            found = m;
            lo = m + 1;
        } else {
            hi = mid;
        }
    }
    return found;
}

qint64 previousRowOffset(const Recording& recording, qint64 ms)
{
    for (qsizetype i = rowAt(recording, ms); i >= 0; --i) {
        const RecordedRow& row = recording.rows[i];
        if (row.problem.isEmpty() && row.offsetMs < ms)
            return row.offsetMs;
    }
    return ms;
}

qint64 nextRowOffset(const Recording& recording, qint64 ms)
{
    for (qsizetype i = qMax<qsizetype>(rowAt(recording, ms), 0); i < recording.rows.size(); ++i) {
        const RecordedRow& row = recording.rows[i];
        if (row.problem.isEmpty() && row.offsetMs > ms)
            return row.offsetMs;
    }
    return ms;
}

Recording readRecordingFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Recording rec;
        rec.error = QStringLiteral("无法打开文件 %1：%2").arg(path, file.errorString());
        return rec;
    }
    return readRecording(file.readAll());
}

} // namespace smartcar
