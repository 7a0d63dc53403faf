#pragma once

#include "common/failure.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <initializer_list>

// A frame written out byte by byte: bytes({0x85, 0x60}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// What `step` returns, or the user's words for what it failed with.
inline QString outcome(const std::function<QString()>& step)
{
    try {
        return step();
    } catch (const smartcar::Failure& f) {
        return f.describe();
    }
}
