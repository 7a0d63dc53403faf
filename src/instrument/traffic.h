#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <deque>
#include <optional>

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
};

// "85 60": two upper-case hexadecimal digits per byte, separated by blanks.
QString hexText(QByteArrayView bytes);

// The speed a speed byte carries: its two 4-bit digits are the tens and units of half the
// speed (0x60 is 120). A digit above 9 counts with its value, as the car counts it.
int speedOfSpeedByte(quint8 speedByte);

// The speed of a row that is a reading (exactly one byte received), in R/Min.
std::optional<int> readingSpeed(const TrafficRow& row);

// "发送" or "接收".
QString directionText(TrafficRow::Direction direction);

// What a row means, in the operator's terms: "前进，速度 120", "冷制动", "读数 60R/Min",
// "失败：发送超时：线路忙，此帧未发送".
QString trafficMeaning(const TrafficRow& row);

// The rows since start, the newest last, at most a fixed number: once full, the oldest go and
// are counted. Columns: time (hh:mm:ss.zzz), direction, bytes, meaning.
class TrafficLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 10000;
    enum Column { TimeColumn, DirectionColumn, BytesColumn, MeaningColumn, ColumnCount };
    // true for the row of a send that failed, so that a view can mark it.
    static constexpr int FailedRole = Qt::UserRole;

    explicit TrafficLog(int capacity = kDefaultCapacity, QObject* parent = nullptr);

    void append(TrafficRow row);
    const TrafficRow& row(int index) const { return m_rows[size_t(index)]; }
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
    std::deque<TrafficRow> m_rows;
    int m_capacity;
    qint64 m_dropped = 0;
};

} // namespace smartcar
