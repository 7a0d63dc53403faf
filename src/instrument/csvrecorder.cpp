#include "instrument/csvrecorder.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

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

// How long a recording that ends with the console may still take to put its rows in the file.
constexpr std::chrono::milliseconds kEndingGrace{2000};

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Why a write took less than the whole line. A disk that fills up takes part of a row and then
// reports nothing wrong for it.
QString writeFailure(const QFile& file)
{
    return file.error() == QFileDevice::NoError ? QStringLiteral("磁盘空间不足")
                                                : file.errorString();
}

} // namespace

struct CsvRecorder::Writing
{
    std::mutex mutex;
    std::condition_variable wake;    // a row came, or the end
    std::condition_variable written; // the queue ran empty, or the writing stopped
    std::deque<QByteArray> queue;
    bool writing = false;               // a row is with the disk
    bool ending = false;                // no more rows: write what is queued, then close
    bool abandoned = false;             // stopped by a failure: write nothing more
    QString failure;                    // why the writing stopped, said by the thread
    qint64 unwritten = 0;               // rows dropped by the failure
    std::atomic<qint64> busySinceMs{0}; // when the row with the disk went to it; 0: none

    QFile file;
    decltype(RecordingDisk::write) write;

    // The recording's thread: one row at a time, each in one write.
    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return abandoned || ending || !queue.empty(); });
            if (abandoned || queue.empty())
                break;
            const QByteArray line = std::move(queue.front());
            queue.pop_front();
            writing = true;
            lock.unlock();
            const qint64 before = file.pos();
            busySinceMs = steadyMs();
            const qint64 taken = write(file, line);
            busySinceMs = 0;
            QString why;
            if (taken != line.size()) {
                why = writeFailure(file);
                // Half a row would be read as a row that never was: the file ends with the
                // last whole one.
                if (taken > 0)
                    file.resize(before);
            }
            lock.lock();
            writing = false;
            if (!why.isEmpty() && !abandoned) {
                failure = why;
                unwritten += 1 + qint64(queue.size());
                abandoned = true;
            }
            if (queue.empty())
                written.notify_all();
        }
        queue.clear();
        file.close();
        written.notify_all();
    }
};

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

CsvRecorder::CsvRecorder(RecordingDisk disk)
    : m_write(disk.write ? std::move(disk.write)
                         : [](QFile& file, const QByteArray& line) { return file.write(line); })
    , m_stallLimit(disk.stallLimit)
{
}

CsvRecorder::~CsvRecorder()
{
    waitWritten(kEndingGrace);
    stop();
}

bool CsvRecorder::start(const QString& folder, const QDateTime& now)
{
    stop();
    m_error.clear();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    auto writing = std::make_shared<Writing>();
    writing->write = m_write;
    QFile& file = writing->file;
    const QString name = recordingFileName(now);
    const QString stem = name.chopped(4);
    for (int n = 1; n < 100; ++n) {
        const QString path = QDir(folder).filePath(
            n == 1 ? name : QStringLiteral("%1-%2.csv").arg(stem).arg(n));
        file.setFileName(path);
        // Unbuffered: each row reaches the system in one write, as soon as the disk takes it.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!QFileInfo::exists(path)) {
            m_error = QStringLiteral("无法创建文件 %1：%2")
                          .arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
    }
    if (!file.isOpen()) {
        m_error =
            QStringLiteral("文件夹 %1 里已有太多同名记录").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    m_filePath = file.fileName();
    m_writing = writing;
    m_writing->queue.push_back(
        QByteArray("\xEF\xBB\xBF")
        + QStringLiteral("时间,方向,字节,含义,速度(R/Min),报警灯\r\n").toUtf8());
    // The thread holds the writing as long as it runs: a stalled disk may keep it past the
    // recording, and past the console.
    std::thread([writing] { writing->run(); }).detach();
    return true;
}

bool CsvRecorder::append(const TrafficRow& row)
{
    if (!isRecording() || !check())
        return false;
    QByteArray line = csvLine(row) + "\r\n";
    std::unique_lock lock(m_writing->mutex);
    if (qsizetype(m_writing->queue.size()) >= kQueueLimit) {
        const qint64 waiting = qint64(m_writing->queue.size());
        lock.unlock();
        stopFailed(QStringLiteral("磁盘太慢，有 %1 行在等待写入").arg(waiting), waiting + 1);
        return false;
    }
    m_writing->queue.push_back(std::move(line));
    m_writing->wake.notify_one();
    return true;
}

bool CsvRecorder::check()
{
    if (!isRecording())
        return false;
    std::unique_lock lock(m_writing->mutex);
    if (m_writing->abandoned) {
        const QString why = m_writing->failure;
        const qint64 unwritten = m_writing->unwritten;
        lock.unlock();
        stopFailed(why, unwritten);
        return false;
    }
    const qint64 since = m_writing->busySinceMs;
    if (since != 0 && steadyMs() - since > m_stallLimit.count()) {
        // The row with the disk may still land, whole; the ones behind it will not.
        const qint64 unwritten = qint64(m_writing->queue.size());
        lock.unlock();
        stopFailed(QStringLiteral("磁盘在 %1 秒内没有写完一行")
                       .arg(QString::number(double(m_stallLimit.count()) / 1000.0)),
                   unwritten);
        return false;
    }
    return true;
}

void CsvRecorder::stopFailed(const QString& why, qint64 unwritten)
{
    {
        const std::lock_guard lock(m_writing->mutex);
        m_writing->abandoned = true;
        m_writing->queue.clear();
        m_writing->wake.notify_one();
    }
    m_writing.reset();
    m_error = QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(m_filePath), why);
    if (unwritten > 0)
        m_error += QStringLiteral("（%1 行未写入）").arg(unwritten);
}

void CsvRecorder::stop()
{
    if (!isRecording())
        return;
    {
        const std::lock_guard lock(m_writing->mutex);
        m_writing->ending = true;
        m_writing->wake.notify_one();
    }
    m_writing.reset();
}

bool CsvRecorder::waitWritten(std::chrono::milliseconds limit)
{
    if (!m_writing)
        return true;
    std::unique_lock lock(m_writing->mutex);
    return m_writing->written.wait_for(lock, limit, [&] {
        return m_writing->abandoned || (m_writing->queue.empty() && !m_writing->writing);
    });
}

} // namespace smartcar
