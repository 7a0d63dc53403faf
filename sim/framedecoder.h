#pragma once

#include "car/carcode.h"
#include "car/carreader.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace smartcar::sim {

// One frame as the car understood it.
struct Frame
{
    // The command; nothing for a byte that is no command code, taken on its own.
    std::optional<CarCode> code;
    QByteArray bytes; // exactly as received: two bytes for the speed frames, one otherwise
    int speed = 0;    // the speed frames only: twice the value of the speed byte's two digits

    bool hasSpeed() const { return code && carriesSpeed(*code); }
    quint8 speedByte() const { return hasSpeed() ? quint8(bytes.at(1)) : 0; }
    // A digit of the speed byte above 9: the speed is still read as tens and units.
    bool speedDigitsNonDecimal() const;
    // The speed byte is itself a command code (it was taken as the speed byte all the same).
    bool speedByteIsCode() const;
};

// Turns the byte stream from the console into frames, read as the car's controller reads it
// (CarReader): the byte after a speed code is always its speed byte, even when it looks like
// a command code itself. The line may hand over a frame in pieces: a speed code whose speed
// byte has not come yet is held until it does.
class FrameDecoder
{
public:
    QList<Frame> feed(const QByteArray& bytes);

    // A speed code still waiting for its speed byte (the line ended or was cut in between).
    bool hasPending() const { return m_reader.awaited().has_value(); }
    quint8 pendingCode() const { return m_reader.awaited() ? quint8(*m_reader.awaited()) : 0; }

private:
    CarReader m_reader;
};

// What the frame means in words, e.g. "advance, speed 120".
QString describe(const Frame& frame);

} // namespace smartcar::sim
