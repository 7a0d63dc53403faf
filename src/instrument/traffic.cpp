#include "instrument/traffic.h"

#include "car/carcode.h"
#include "monitor/poll.h"

#include <algorithm>

namespace smartcar {

namespace {

// The frames of the car's command set by their code byte. A speed code sent alone (typed as a
// raw byte) makes the car take whatever byte comes next as its speed.
QString commandMeaning(quint8 code, std::optional<quint8> speedByte)
{
    const auto withSpeed = [&](const char* command) {
        const QString name = QString::fromUtf8(command);
        return speedByte ? QStringLiteral("%1，速度 %2").arg(name).arg(speedOfSpeedByte(*speedByte))
                         : QStringLiteral("%1（下一字节作速度）").arg(name);
    };
    switch (CarCode(code)) {
    case CarCode::TurnLeft:
        return QStringLiteral("左转");
    case CarCode::TurnRight:
        return QStringLiteral("右转");
    case CarCode::CentreAfterLeft:
        return QStringLiteral("左转后回正");
    case CarCode::CentreAfterRight:
        return QStringLiteral("右转后回正");
    case CarCode::Advance:
        return withSpeed("前进");
    case CarCode::Retreat:
        return withSpeed("后退");
    case CarCode::ColdBrake:
        return QStringLiteral("冷制动");
    case CarCode::RangingOn:
        return QStringLiteral("超声测距开");
    case CarCode::RangingOff:
        return QStringLiteral("超声测距关");
    case CarCode::HotStart:
        return withSpeed("热启动");
    }
    return QStringLiteral("自定义命令");
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
    if (!row.failure.isEmpty())
        return QStringLiteral("失败：") + row.failure;
    const QByteArray& b = row.bytes;
    if (row.direction == TrafficRow::Direction::Received) {
        if (const std::optional<quint8> reading = readingOf(b))
            return QStringLiteral("读数 ") + speedCaption(*reading);
        // The poll shows only a tick that read exactly one byte.
        return QStringLiteral("%1 个字节，无读数").arg(b.size());
    }
    if (b.size() == 1)
        return commandMeaning(quint8(b[0]), std::nullopt);
    const std::optional<CarCode> code = b.isEmpty() ? std::nullopt : carCodeOf(quint8(b[0]));
    if (b.size() == 2 && code && carriesSpeed(*code))
        return commandMeaning(quint8(b[0]), quint8(b[1]));
    return QStringLiteral("%1 个字节").arg(b.size());
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
        if (m_slots.size() < size_t(m_capacity))
            m_slots.push_back(std::move(*it));
        else
            m_slots[slot(m_size)] = std::move(*it);
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
            return hexText(r.bytes);
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
