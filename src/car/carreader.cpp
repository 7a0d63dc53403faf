#include "car/carreader.h"

namespace smartcar {

CarReader::Byte CarReader::read(quint8 byte)
{
    const std::optional<CarCode> code = carCodeOf(byte);
    const bool startsSpeedFrame = code && carriesSpeed(*code);
    if (m_awaited) {
        const Byte speed{Byte::As::SpeedByte, m_awaited};
        m_awaited.reset();
        return speed;
    }
    if (m_unsure) {
        // Taken as a speed byte, it leaves the car reading commands; taken as a command, it
        // leaves it waiting only if it is a speed code. So only a speed code keeps the doubt.
        m_unsure = startsSpeedFrame;
        return {Byte::As::Either, code};
    }
    if (startsSpeedFrame)
        m_awaited = code;
    return {Byte::As::Command, code};
}

void CarReader::read(const QByteArray& bytes)
{
    for (const char c : bytes)
        read(quint8(c));
}

void CarReader::lose()
{
    m_awaited.reset();
    m_unsure = true;
}

void CarReader::reopen()
{
    if (m_awaited)
        lose();
}

QByteArray CarReader::asCommand(const QByteArray& frame) const
{
    return mayAwaitSpeedByte() ? kSpeedFiller + frame : frame;
}

} // namespace smartcar
