#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace smartcar {

// What tells one serial device from another across an unplug: the path it was opened by and,
// for a USB adapter, what its descriptor says.
struct DeviceIdentity
{
    QString path; // as opened or as listed; a symbolic link stays a link (a by-id name is stable)
    std::optional<quint16> vendor;
    std::optional<quint16> product;
    QString serial; // empty when the device reports none
    // When the path is a symbolic link: the link itself as made (its inode and change time),
    // so that a link made anew tells from one left behind. Empty for anything else.
    QString link;

    friend bool operator==(const DeviceIdentity&, const DeviceIdentity&) = default;
};

// The serial number as the matching rule uses it: many cheap adapters report "0" or nothing
// at all, which tells nothing apart, so both count as none.
QString usableSerial(const QString& reported);

// Whether a device that went away may be looked for at all. A bare pseudo-terminal
// (/dev/pts/<n>, in whatever spelling of the path) may not: its number is handed to the next
// terminal that asks for one, and that terminal is not the car. A link to one is fine, since
// whoever owns the link makes it anew for the car (findSameDevice follows no other).
bool mayReconnect(const DeviceIdentity& remembered);

struct DeviceMatch
{
    enum class Outcome {
        None,      // nothing present is the remembered device
        Found,     // exactly one is: `index` in the present list
        Ambiguous, // more than one would be; none is taken
    };
    Outcome outcome = Outcome::None;
    qsizetype index = -1;
};

// Which of the present devices is the remembered one. With a serial number it is the device
// with the same number, vendor and product, wherever it appears (an adapter replugged as
// ttyUSB1 instead of ttyUSB0). Without one, only the same path (compared in its clean form)
// with the same vendor and product, neither known counting as the same (a Bluetooth link, a
// pseudo-terminal behind a link), and with no serial number there either; a link there must
// have been made anew since: one left behind still leads to the old name, which may belong to
// someone else's terminal by now. Anything else is another device.
DeviceMatch findSameDevice(const DeviceIdentity& remembered, const QList<DeviceIdentity>& present);

// The device at `path` as it is now, with what the system's port list knows of it.
DeviceIdentity identifyDevice(const QString& path);

// The serial devices present now that could be `remembered`. For a device with a serial
// number, everything the system's port list holds, as it may come back under another name;
// for one without, only what is at the remembered path, so that the port list is not asked
// while nothing is there. The remembered path comes first, described by what the list knows
// of the device behind it; a device that is both (a link to a listed port) appears once. A
// link to nothing counts as absent.
QList<DeviceIdentity> presentDevices(const DeviceIdentity& remembered);

} // namespace smartcar
