#include "sim/rawpty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace smartcar::sim {

bool openRawPty(RawPty* pty, QString* error)
{
    const auto fail = [error](const char* what) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                              QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return fail("posix_openpt");
    char name[256] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0
        || ::ptsname_r(master, name, sizeof name) != 0) {
        fail("grantpt/unlockpt");
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (slave < 0 || ::tcgetattr(slave, &t) != 0) {
        fail(name);
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    // cfmakeraw leaves VMIN at 1. Together with O_NONBLOCK an empty line then reads as EAGAIN
    // and only a hang-up reads as 0, so the two can be told apart.
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    *pty = {master, slave, QString::fromLocal8Bit(name)};
    return true;
}

} // namespace smartcar::sim
