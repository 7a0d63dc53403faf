#pragma once

#include "sim/framedecoder.h"

#include <QString>
#include <QTime>

#include <chrono>

namespace smartcar::sim {

// The wheel speed a commanded speed settles at: one revolution per minute per unit of speed,
// capped at 255 because a reading is one byte. Speeds from decimal speed bytes reach 198 at
// most; only a speed byte with a digit above 9 goes past 255.
int rpmForSpeed(int speed);

// The car's state as its controller keeps it. Time is given by the caller on any clock that
// never runs backwards, so the model can be driven without waiting.
class CarModel
{
public:
    using Time = std::chrono::milliseconds;
    // How long the wheels take to get from their speed at a command to the commanded one.
    static constexpr std::chrono::milliseconds kRampTime{1000};

    // Advance, retreat and hot start set a new target and the wheels ramp to it in a straight
    // line over kRampTime, from wherever they are at `now`; turning from forward to backward
    // passes through standstill on the way. Cold brake stops the wheels at once.
    void apply(const Frame& frame, Time now);

    // Signed: negative while the wheels turn backwards.
    int wheelVelocity(Time now) const;
    // What the car reports: the wheel speed without its direction, 0 to 255.
    quint8 wheelRpm(Time now) const;
    int targetVelocity() const { return m_target; }

private:
    int m_from = 0;   // velocity when the last speed command came
    int m_target = 0; // velocity being ramped to
    Time m_since{0};  // when the last speed command came
};

// One line of the frame log: time stamp, the bytes in hex, what they mean and, for the
// commands that change it, what the car does about it.
QString logLine(const QTime& at, const Frame& frame, const CarModel& after);

} // namespace smartcar::sim
