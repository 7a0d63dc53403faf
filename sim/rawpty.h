#pragma once

#include <QString>

namespace smartcar::sim {

// A raw pseudo-terminal pair: the console opens `path` as its serial device, the car's side
// reads and writes `master`, which does not block. The slave end stays open here as well, so
// the master never reads a hang-up while the console has the port closed. Both descriptors
// are closed on exec, so a child process cannot hold the line up.
struct RawPty
{
    int master = -1;
    int slave = -1;
    QString path;
};

// Opens one. On failure nothing stays open and *error names the step and the cause.
bool openRawPty(RawPty* pty, QString* error);

} // namespace smartcar::sim
