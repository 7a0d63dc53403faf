#pragma once

#include <QByteArray>

#include <initializer_list>

// A frame written out byte by byte: bytes({0x85, 0x60}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}
