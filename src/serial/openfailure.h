#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace smartcar {

// Why a serial device could not be opened. Qt folds a missing lock, a refused permission and
// some busy devices into one error, so the cause is read from the device itself.
struct OpenFailure
{
    enum class Cause {
        Missing,        // no node, a link to nothing, or a node with no device behind it
        NoPermission,   // the user may not read and write it
        Busy,           // another program holds it (exclusive open or a live lock file)
        BadLock,        // a lock file for it that says no process the console can check
        LockUnreadable, // a lock file for it that the user may not read (another user's)
        NotSerial,      // a node that is no serial line (a plain file, /dev/tty, /dev/null)
        NoUsbAdapter,   // a USB entry with no adapter plugged in for it; `device` is the entry
        Other,          // anything else; `reason` says what
    };

    Cause cause = Cause::Other;
    QString device;
    QString group;     // for NoPermission: the group owning the node, when it could be read
    qint64 holder = 0; // for Busy: the process named by a lock file, when there is one
    QString lockFile;  // for BadLock and LockUnreadable: the file
    QString lockOwner; // for LockUnreadable: the user owning it
    QString reason;    // for Other: the system's own words
};

// Where serial lock files are kept on this system: the UUCP folders and the ones Qt uses.
QStringList systemLockDirectories();

// A lock file another program left for `device` in `lockDirectories`, read in both forms in
// use: the classic one (the process number right-aligned in ten columns, a newline) and Qt's
// (number, program and host name, one a line). A live process makes the device Busy; a file
// that names no possible process is a BadLock, one that cannot be read LockUnreadable (it may
// be another user's live lock); a lock whose process is gone is stale and gives nothing. The
// files are only read, never changed.
std::optional<OpenFailure>
lockedByOther(const QString& device, const QStringList& lockDirectories = systemLockDirectories());

// Looks at `device` after an open of it failed. `openError` is what the open itself said;
// it is the reason given when the device shows nothing wrong. Opens the device only when
// nothing cheaper tells the cause, and then without waiting and without taking it over.
OpenFailure diagnoseOpenFailure(const QString& device, const QString& openError,
                                const QStringList& lockDirectories = systemLockDirectories());

// One or two plain Chinese lines for the operator: the device, the cause and what to do.
QString explainOpenFailure(const OpenFailure& failure);

} // namespace smartcar
