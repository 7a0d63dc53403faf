#pragma once

#include "car/carcode.h" // hexText and speedOfSpeedByte, for the log and its recording
#include "car/carreader.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// The traffic on the line: every frame the console sends and every read of what the car sent,
// each as one row with its time and its meaning.

namespace smartcar {

struct TrafficRow
{
    enum class Direction : quint8 { Sent, Received };

    QDateTime time;
    Direction direction = Direction::Sent;
    QByteArray bytes;
    // A send that failed: why, in the operator's words. Empty for a frame that went out.
    QString failure;
    // Whether the alarm lamp is lit with this row (for a reading: once it has been shown).
    bool lampLit = false;
    // A send: how the car read on before its first byte, which decides what each byte means.
    CarReader before;
    // How many bytes there were, when the list keeps only the first of a long read; 0 when
    // `bytes` holds them all.
    qsizetype totalBytes = 0;
    // A send that played a recording again (按记录行驶).
    bool replayed = false;
};

// The speed of a row that is a reading (exactly one byte received), in R/Min.
std::optional<int> readingSpeed(const TrafficRow& row);

// "发送" or "接收".
QString directionText(TrafficRow::Direction direction);

// What a row means, in the operator's terms: "前进，速度 120", "冷制动", "读数 60R/Min",
// "失败：发送超时：线路忙，此帧未发送", "无数据" for a received row with no bytes (the car fell
// silent). A send is read as the car reads it: after a speed code
// sent alone, "前进的速度字节，速度 174" for an 87; "填充字节（前进，速度 0）；冷制动" for the
// brake the console sent after a filler. A replayed send says so: "冷制动（按记录）".
QString trafficMeaning(const TrafficRow& row);

// The rows since start, the newest last, at most a fixed number: once full, the oldest go and
// are counted. Of a long read only the first kListedBytes are kept ("3C 3C … 共 1024 个字节"),
// so that the list's memory is bounded whatever the car sends; the recording has them all.
// Columns: time (hh:mm:ss.zzz), direction, bytes, meaning.
class TrafficLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 10000;
    static constexpr qsizetype kListedBytes = 24;
    enum Column { TimeColumn, DirectionColumn, BytesColumn, MeaningColumn, ColumnCount };
    // true for the row of a send that failed, so that a view can mark it.
    static constexpr int FailedRole = Qt::UserRole;

    explicit TrafficLog(int capacity = kDefaultCapacity, QObject* parent = nullptr);

    // Moves the rows in, in the order they happened, and leaves `rows` empty with its capacity
    // kept for the next batch. A view redraws once per call, so rows that come in quick
    // succession are best handed over together.
    void take(std::vector<TrafficRow>& rows);
    const TrafficRow& row(int index) const { return m_slots[slot(index)]; }
    int capacity() const { return m_capacity; }
    // Rows that were let go to make room for newer ones.
    qint64 dropped() const { return m_dropped; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void droppedChanged(qint64 dropped);

private:
    size_t slot(int index) const { return (m_first + size_t(index)) % m_slots.size(); }

    // A ring: it grows up to the capacity, and from then on each new row takes the slot of the
    // oldest, so that the log's memory stays as it is however long the console runs.
    std::vector<TrafficRow> m_slots;
    size_t m_first = 0; // the slot of the oldest row
    int m_size = 0;
    int m_capacity;
    qint64 m_dropped = 0;
};

} // namespace smartcar
