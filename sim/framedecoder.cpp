#include "sim/framedecoder.h"

namespace smartcar::sim {

namespace {

QString speedNotes(const Frame& frame)
{
    QStringList notes;
    const QString byte = hexText(QByteArray(1, char(frame.speedByte())));
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

bool Frame::speedDigitsNonDecimal() const
{
    const quint8 b = speedByte();
    return hasSpeed() && ((b >> 4) > 9 || (b & 0x0F) > 9);
}

bool Frame::speedByteIsCode() const
{
    return hasSpeed() && carCodeOf(speedByte());
}

QList<Frame> FrameDecoder::feed(const QByteArray& bytes)
{
    QList<Frame> frames;
    for (const char c : bytes) {
        const CarReader::Byte byte = m_reader.read(quint8(c));
        if (byte.as == CarReader::Byte::As::SpeedByte) {
            Frame f;
            f.code = byte.code;
            f.bytes.append(codeByte(*byte.code)).append(c);
            f.speed = speedOfSpeedByte(quint8(c));
            frames.append(f);
        } else if (!m_reader.awaited()) {
            Frame f;
            f.code = byte.code;
            f.bytes = QByteArray(1, c);
            frames.append(f);
        }
    }
    return frames;
}

QString describe(const Frame& frame)
{
    if (frame.code) {
        switch (*frame.code) {
        case CarCode::Advance:
            return QStringLiteral("advance, speed %1").arg(frame.speed) + speedNotes(frame);
        case CarCode::Retreat:
            return QStringLiteral("retreat, speed %1").arg(frame.speed) + speedNotes(frame);
        case CarCode::HotStart:
            return QStringLiteral("hot start, speed %1").arg(frame.speed) + speedNotes(frame);
        case CarCode::ColdBrake:
            return QStringLiteral("cold brake");
        case CarCode::TurnLeft:
            return QStringLiteral("turn left");
        case CarCode::TurnRight:
            return QStringLiteral("turn right");
        case CarCode::CentreAfterLeft:
            return QStringLiteral("centre after left turn");
        case CarCode::CentreAfterRight:
            return QStringLiteral("centre after right turn");
        case CarCode::RangingOn:
            return QStringLiteral("ultrasonic ranging on");
        case CarCode::RangingOff:
            return QStringLiteral("ultrasonic ranging off");
        }
    }
    const auto byte = quint8(frame.bytes.isEmpty() ? 0 : frame.bytes.at(0));
    QString text = QStringLiteral("raw byte %1").arg(hexText(frame.bytes));
    if (byte >= 0x20 && byte < 0x7F)
        text += QStringLiteral(", character %1").arg(QChar(byte));
    return text;
}

} // namespace smartcar::sim
