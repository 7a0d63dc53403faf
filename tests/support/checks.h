#pragma once

#include "common/failure.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <initializer_list>

namespace smartcar {

// A frame written out byte by byte: bytes({0x85, 0x60}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// The user's words for what `step` failed with, or nothing when it did not.
inline QString failureOf(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Failure& f) {
        return f.describe();
    }
    return {};
}

// Sets an environment variable for as long as it lives, then puts back what was there before
// (or nothing), for what the console reads from its environment: SMARTCAR_COM<n> at start,
// the home folder where recordings go.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_wasSet)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    Q_DISABLE_COPY_MOVE(ScopedEnv)

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_previous;
};

} // namespace smartcar
