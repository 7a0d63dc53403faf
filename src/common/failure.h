#pragma once

#include <QString>

#include <stdexcept>

namespace smartcar {

// The one failure type of the console. A handler that meets it stops at the failing step;
// what it did before stays done. The guard around every window handler catches it and hands
// it to the error report, so it never crosses the Qt event loop.
class Failure : public std::runtime_error
{
public:
    enum class Kind {
        TypeMismatch, // operator text that must be a number is not one
        Overflow,     // a number does not fit where it has to go
        OutOfRange,   // a number the console refuses to act on, though it fits
        PortNotOpen,  // a read or write while no port is open
        PortFailure,  // the device refused or went away
    };

    Failure(Kind kind, QString detail);

    Kind kind() const { return m_kind; }
    // The full Chinese sentence shown to the operator, e.g. "类型不匹配：「更新速度」不是数字".
    QString describe() const;
    // What went wrong without the kind's name: the lines under a box that has its own text.
    const QString& detail() const { return m_detail; }

    static Failure typeMismatch(const QString& field);
    static Failure overflow(const QString& field);
    // A number that fits but is more than the field allows: "「转向时间」不能超过 10000 毫秒".
    // Only an upper limit: the fields that have one take values below zero as no wait.
    static Failure aboveLimit(const QString& field, qint64 limit, const QString& unit);
    static Failure portNotOpen();
    static Failure portFailure(const QString& detail);

private:
    Kind m_kind;
    QString m_detail;
};

} // namespace smartcar
