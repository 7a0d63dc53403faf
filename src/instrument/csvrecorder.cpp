#include "instrument/csvrecorder.h"

#include <QDir>
#include <QFileInfo>

namespace smartcar {

namespace {

QByteArray field(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r'))
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

} // namespace

QString recordingFileName(const QDateTime& start)
{
    return QStringLiteral("行驶记录-%1.csv").arg(start.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QByteArray csvLine(const TrafficRow& row)
{
    // With its offset, a time stays unambiguous when the file is read in another time zone.
    const QDateTime withOffset = row.time.toOffsetFromUtc(row.time.offsetFromUtc());
    const std::optional<int> speed = readingSpeed(row);
    const QStringList fields = {
        withOffset.toString(Qt::ISODateWithMs),
        directionText(row.direction),
        hexText(row.bytes),
        trafficMeaning(row),
        speed ? QString::number(*speed) : QString(),
        row.lampLit ? QStringLiteral("亮") : QStringLiteral("灭"),
    };
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i)
        line += (i > 0 ? "," : "") + field(fields[i]);
    return line;
}

bool CsvRecorder::start(const QString& folder, const QDateTime& now)
{
    stop();
    m_error.clear();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QString name = recordingFileName(now);
    const QString stem = name.chopped(4);
    for (int n = 1; n < 100; ++n) {
        const QString path = QDir(folder).filePath(
            n == 1 ? name : QStringLiteral("%1-%2.csv").arg(stem).arg(n));
        m_file.setFileName(path);
        // Unbuffered: each row reaches the system in one write, as soon as it is appended.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!QFileInfo::exists(path)) {
            m_error = QStringLiteral("无法创建文件 %1：%2")
                          .arg(QDir::toNativeSeparators(path), m_file.errorString());
            return false;
        }
    }
    if (!m_file.isOpen()) {
        m_error =
            QStringLiteral("文件夹 %1 里已有太多同名记录").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return write(QByteArray("\xEF\xBB\xBF")
                 + QStringLiteral("时间,方向,字节,含义,速度(R/Min),报警灯\r\n").toUtf8());
}

bool CsvRecorder::append(const TrafficRow& row)
{
    if (!isRecording())
        return false;
    return write(csvLine(row) + "\r\n");
}

void CsvRecorder::stop()
{
    if (m_file.isOpen())
        m_file.close();
}

bool CsvRecorder::write(const QByteArray& bytes)
{
    if (m_file.write(bytes) == bytes.size())
        return true;
    // A disk that fills up takes part of a row and then reports nothing wrong for it.
    const QString why = m_file.error() == QFileDevice::NoError ? QStringLiteral("磁盘空间不足")
                                                               : m_file.errorString();
    m_error =
        QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(m_file.fileName()), why);
    m_file.close();
    return false;
}

} // namespace smartcar
