#include "instrument/traffic.h"

#include "car/carcode.h"
#include "monitor/poll.h"

#include <algorithm>

namespace smartcar {

namespace {

QString speedCommandName(CarCode code)
{
    switch (code) {
    case CarCode::Advance:
        return QStringLiteral("前进");
    case CarCode::Retreat:
        return QStringLiteral("后退");
    default:
        return QStringLiteral("热启动");
    }
}

// The frames of the car's command set by their code byte. A speed code sent alone (typed as a
// raw byte) makes the car take whatever byte comes next as its speed.
QString commandMeaning(quint8 code, std::optional<quint8> speedByte)
{
    const std::optional<CarCode> command = carCodeOf(code);
    if (!command)
        return QStringLiteral("自定义命令");
    if (carriesSpeed(*command)) {
        const QString name = speedCommandName(*command);
        return speedByte ? QStringLiteral("%1，速度 %2").arg(name).arg(speedOfSpeedByte(*speedByte))
                         : QStringLiteral("%1（下一字节作速度）").arg(name);
    }
    switch (*command) {
    case CarCode::TurnLeft:
        return QStringLiteral("左转");
    case CarCode::TurnRight:
        return QStringLiteral("右转");
    case CarCode::CentreAfterLeft:
        return QStringLiteral("左转后回正");
    case CarCode::CentreAfterRight:
        return QStringLiteral("右转后回正");
    case CarCode::ColdBrake:
        return QStringLiteral("冷制动");
    case CarCode::RangingOn:
        return QStringLiteral("超声测距开");
    default:
        return QStringLiteral("超声测距关");
    }
}

// Each byte of a send as the car reads it, from the state it was in before the first.
QString sentMeaning(const QByteArray& b, CarReader car)
{
    using As = CarReader::Byte::As;
    QStringList parts;
    for (qsizetype i = 0; i < b.size(); ++i) {
        const auto byte = quint8(b[i]);
        const CarReader::Byte read = car.read(byte);
        // The console writes more than one byte only for a built-in frame; a first byte the car
        // may take as a speed byte is then the filler the console put before the frame.
        const bool filler = i == 0 && b.size() > 1 && read.as != As::Command;
        if (read.as == As::SpeedByte) {
            const QString name = speedCommandName(*read.code);
            parts << (filler ? QStringLiteral("填充字节（%1，速度 0）").arg(name)
                             : QStringLiteral("%1的速度字节，速度 %2")
                                   .arg(name)
                                   .arg(speedOfSpeedByte(byte)));
        } else if (read.as == As::Either) {
            parts << (filler ? QStringLiteral("填充字节（若小车在等速度字节，作速度 0）")
                             : commandMeaning(byte, std::nullopt)
                              + QStringLiteral("（若小车在等速度字节，则作速度 %1）")
                                    .arg(speedOfSpeedByte(byte)));
        } else if (car.awaited() && i + 1 < b.size()) {
            // The speed byte follows in the same write: one frame.
            const auto speed = quint8(b[++i]);
            car.read(speed);
            parts << commandMeaning(byte, speed);
        } else {
            parts << commandMeaning(byte, std::nullopt);
        }
    }
    return parts.join(QStringLiteral("；"));
}

} // namespace

std::optional<int> readingSpeed(const TrafficRow& row)
{
    if (row.direction != TrafficRow::Direction::Received)
        return std::nullopt;
    const std::optional<quint8> reading = readingOf(row.bytes);
    return reading ? std::optional<int>(*reading) : std::nullopt;
}

QString directionText(TrafficRow::Direction direction)
{
    return direction == TrafficRow::Direction::Sent ? QStringLiteral("发送")
                                                    : QStringLiteral("接收");
}

QString trafficMeaning(const TrafficRow& row)
{
    const QString replayed = row.replayed ? QStringLiteral("（按记录）") : QString();
    if (!row.failure.isEmpty())
        return QStringLiteral("失败：") + row.failure + replayed;
    const QByteArray& b = row.bytes;
    if (row.direction == TrafficRow::Direction::Received) {
        if (b.isEmpty())
            return QStringLiteral("无数据"); // the car fell silent
        if (const std::optional<quint8> reading = readingOf(b))
            return QStringLiteral("读数 ") + speedCaption(*reading);
        // The poll shows only a tick that read exactly one byte.
        return QStringLiteral("%1 个字节，无读数")
            .arg(row.totalBytes > 0 ? row.totalBytes : b.size());
    }
    return sentMeaning(b, row.before) + replayed;
}

TrafficLog::TrafficLog(int capacity, QObject* parent)
    : QAbstractTableModel(parent)
    , m_capacity(std::max(capacity, 1))
{
}

void TrafficLog::take(std::vector<TrafficRow>& rows)
{
    if (rows.empty())
        return;
    // Of more new rows than the log holds, only the newest ever show.
    const int skipped = std::max(0, int(rows.size()) - m_capacity);
    const int incoming = int(rows.size()) - skipped;
    const int gone = std::max(0, m_size + incoming - m_capacity);
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        m_first = (m_first + size_t(gone)) % m_slots.size();
        m_size -= gone;
        endRemoveRows();
    }
    beginInsertRows({}, m_size, m_size + incoming - 1);
    for (auto it = rows.begin() + skipped; it != rows.end(); ++it) {
        if (it->bytes.size() > kListedBytes) {
            it->totalBytes = it->bytes.size();
            it->bytes = it->bytes.left(kListedBytes); // a copy of its own size, not the read's
        }
        if (size_t(m_size) < m_slots.size()) {
            m_slots[slot(m_size)] = std::move(*it);
        } else if (m_first == 0) {
            m_slots.push_back(std::move(*it));
        } else {
            // Every slot is taken and the ring may still grow: the newest goes in just before
            // the oldest, which moves up by one.
            m_slots.insert(m_slots.begin() + qsizetype(m_first), std::move(*it));
            ++m_first;
        }
        ++m_size;
    }
    endInsertRows();
    rows.clear();
    if (gone + skipped > 0) {
        m_dropped += gone + skipped;
        emit droppedChanged(m_dropped);
    }
}

int TrafficLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_size;
}

int TrafficLog::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficLog::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_size)
        return {};
    const TrafficRow& r = row(index.row());
    // The texts are made when a row is shown, not kept: ten thousand rows stay small.
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TimeColumn:
            return r.time.toString(QStringLiteral("hh:mm:ss.zzz"));
        case DirectionColumn:
            return directionText(r.direction);
        case BytesColumn:
            return r.totalBytes > 0
                ? hexText(r.bytes) + QStringLiteral(" … 共 %1 个字节").arg(r.totalBytes)
                : hexText(r.bytes);
        case MeaningColumn:
            return trafficMeaning(r);
        default:
            return {};
        }
    }
    if (role == FailedRole)
        return !r.failure.isEmpty();
    return {};
}

QVariant TrafficLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return QStringLiteral("时间");
    case DirectionColumn:
        return QStringLiteral("方向");
    case BytesColumn:
        return QStringLiteral("字节");
    case MeaningColumn:
        return QStringLiteral("含义");
    default:
        return {};
    }
}

} // namespace smartcar
