#pragma once

#include "car/carcode.h"

#include <QByteArray>

#include <optional>

namespace smartcar {

// How the car's controller reads the bytes that reach it, one at a time. A speed code
// (advance, retreat, hot start) makes the next byte, whatever it is, that frame's speed byte;
// every other byte is read on its own. Both ends keep one: the console of what it has put on
// the line, the simulated car of what it has received, so that both read a stream alike.
class CarReader
{
public:
    // What the car makes of one byte.
    struct Byte
    {
        enum class As : quint8 {
            Command,   // a code byte (`code`), or a byte that is none (no `code`)
            SpeedByte, // the speed byte of the frame `code` began
            // The console cannot know which: the speed byte if the car was still waiting for
            // one, otherwise a command as above.
            Either,
        } as = As::Command;
        std::optional<CarCode> code;
    };

    // The speed code whose speed byte the car waits for now, if it surely waits.
    std::optional<CarCode> awaited() const { return m_awaited; }
    // Whether the car may take the next byte as a speed byte: a built-in command must then be
    // preceded by a filler.
    bool mayAwaitSpeedByte() const { return m_awaited || m_unsure; }

    Byte read(quint8 byte);
    void read(const QByteArray& bytes);
    // Some of what was written may or may not have reached the car (the line was emptied
    // with bytes still in it): from here on the car may be waiting for a speed byte, or not.
    void lose();
    // The port was opened anew: a car that waited for a speed byte may have been reset, or be
    // another car now, so it may or may not still wait.
    void reopen();

    // The bytes to write so that the car reads `frame`, a built-in frame, as the command it
    // is: the frame itself, or after the filler kSpeedFiller when the car may be waiting for a
    // speed byte. The filler is speed 0 for a waiting frame, and no command for a car that was
    // not waiting, so either way the frame after it is read as it stands.
    QByteArray asCommand(const QByteArray& frame) const;

    static constexpr char kSpeedFiller = '\0';

    bool operator==(const CarReader&) const = default;

private:
    std::optional<CarCode> m_awaited;
    bool m_unsure = false;
};

} // namespace smartcar
