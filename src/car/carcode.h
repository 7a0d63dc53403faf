#pragma once

#include <QtGlobal>

#include <optional>

// The command codes, shared by the console and the simulated car.

namespace smartcar {

// The code byte that starts every built-in frame. The car's controller knows nothing else.
enum class CarCode : quint8 {
    TurnLeft = 0x81,
    TurnRight = 0x82,
    CentreAfterLeft = 0x83,
    CentreAfterRight = 0x84,
    Advance = 0x85,
    Retreat = 0x86,
    ColdBrake = 0x87,
    RangingOn = 0x88,
    RangingOff = 0x89,
    HotStart = 0x8A,
};

inline constexpr char codeByte(CarCode code)
{
    return char(quint8(code));
}

// The code a byte stands for; nothing for a byte outside the codes.
inline constexpr std::optional<CarCode> carCodeOf(quint8 byte)
{
    if (byte < quint8(CarCode::TurnLeft) || byte > quint8(CarCode::HotStart))
        return std::nullopt;
    return CarCode(byte);
}

// Advance, retreat and hot start: the frame's second byte is the speed.
inline constexpr bool carriesSpeed(CarCode code)
{
    return code == CarCode::Advance || code == CarCode::Retreat || code == CarCode::HotStart;
}

} // namespace smartcar
