#include "framedecoder.h"

#include "car/carcode.h"

namespace smartcar::sim {

namespace {

bool carriesSpeed(quint8 byte)
{
    const auto code = CarCode(byte);
    return code == CarCode::Advance || code == CarCode::Retreat || code == CarCode::HotStart;
}

Frame::Kind kindOf(quint8 byte)
{
    switch (CarCode(byte)) {
    case CarCode::TurnLeft:
        return Frame::Kind::Left;
    case CarCode::TurnRight:
        return Frame::Kind::Right;
    case CarCode::CentreAfterLeft:
        return Frame::Kind::CentreAfterLeft;
    case CarCode::CentreAfterRight:
        return Frame::Kind::CentreAfterRight;
    case CarCode::Advance:
        return Frame::Kind::Advance;
    case CarCode::Retreat:
        return Frame::Kind::Retreat;
    case CarCode::ColdBrake:
        return Frame::Kind::ColdBrake;
    case CarCode::RangingOn:
        return Frame::Kind::RangingOn;
    case CarCode::RangingOff:
        return Frame::Kind::RangingOff;
    case CarCode::HotStart:
        return Frame::Kind::HotStart;
    default:
        return Frame::Kind::Raw;
    }
}

QString speedNotes(const Frame& frame)
{
    QStringList notes;
    const QString byte = hexBytes(QByteArray(1, char(frame.speedByte())));
    if (frame.speedDigitsNonDecimal())
        notes << QStringLiteral("speed byte %1 has a digit above 9, read as %2 tens and %3 units")
                     .arg(byte)
                     .arg(frame.speedByte() >> 4)
                     .arg(frame.speedByte() & 0x0F);
    if (frame.speedByteIsCode())
        notes << QStringLiteral("speed byte %1 is a command code, taken as the speed").arg(byte);
    return notes.isEmpty() ? QString()
                           : QStringLiteral(" (%1)").arg(notes.join(QStringLiteral("; ")));
}

} // namespace

bool Frame::hasSpeed() const
{
    return kind == Kind::Advance || kind == Kind::Retreat || kind == Kind::HotStart;
}

bool Frame::speedDigitsNonDecimal() const
{
    const quint8 b = speedByte();
    return hasSpeed() && ((b >> 4) > 9 || (b & 0x0F) > 9);
}

bool Frame::speedByteIsCode() const
{
    return hasSpeed() && isCommandCode(speedByte());
}

int speedFromByte(quint8 byte)
{
    return 2 * ((byte >> 4) * 10 + (byte & 0x0F));
}

bool isCommandCode(quint8 byte)
{
    return byte >= quint8(CarCode::TurnLeft) && byte <= quint8(CarCode::HotStart);
}

QList<Frame> FrameDecoder::feed(const QByteArray& bytes)
{
    QList<Frame> frames;
    for (const char c : bytes) {
        const auto byte = quint8(c);
        if (m_pending >= 0) {
            Frame f;
            f.kind = kindOf(quint8(m_pending));
            f.bytes.append(char(m_pending)).append(c);
            f.speed = speedFromByte(byte);
            frames.append(f);
            m_pending = -1;
        } else if (carriesSpeed(byte)) {
            m_pending = byte;
        } else {
            Frame f;
            f.kind = kindOf(byte);
            f.bytes = QByteArray(1, c);
            frames.append(f);
        }
    }
    return frames;
}

QString hexBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString describe(const Frame& frame)
{
    switch (frame.kind) {
    case Frame::Kind::Advance:
        return QStringLiteral("advance, speed %1").arg(frame.speed) + speedNotes(frame);
    case Frame::Kind::Retreat:
        return QStringLiteral("retreat, speed %1").arg(frame.speed) + speedNotes(frame);
    case Frame::Kind::HotStart:
        return QStringLiteral("hot start, speed %1").arg(frame.speed) + speedNotes(frame);
    case Frame::Kind::ColdBrake:
        return QStringLiteral("cold brake");
    case Frame::Kind::Left:
        return QStringLiteral("turn left");
    case Frame::Kind::Right:
        return QStringLiteral("turn right");
    case Frame::Kind::CentreAfterLeft:
        return QStringLiteral("centre after left turn");
    case Frame::Kind::CentreAfterRight:
        return QStringLiteral("centre after right turn");
    case Frame::Kind::RangingOn:
        return QStringLiteral("ultrasonic ranging on");
    case Frame::Kind::RangingOff:
        return QStringLiteral("ultrasonic ranging off");
    case Frame::Kind::Raw:
        break;
    }
    const auto byte = quint8(frame.bytes.isEmpty() ? 0 : frame.bytes.at(0));
    QString text = QStringLiteral("raw byte %1").arg(hexBytes(frame.bytes));
    if (byte >= 0x20 && byte < 0x7F)
        text += QStringLiteral(", character %1").arg(QChar(byte));
    return text;
}

} // namespace smartcar::sim
