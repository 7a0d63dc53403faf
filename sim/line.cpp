#include "sim/line.h"

#include "sim/rawpty.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace smartcar::sim {

namespace {

QString lastError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// 9600 baud, 8 data bits, no parity, 1 stop bit, raw. cfmakeraw leaves VMIN at 1: together
// with O_NONBLOCK an empty line reads as EAGAIN and only a hang-up reads as 0.
bool makeRaw9600(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace

Line::~Line()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Line::openPseudoTerminal(QString* error)
{
    RawPty pty;
    if (!openRawPty(&pty, error))
        return false;
    m_fd = pty.master;
    m_slave = pty.slave;
    m_path = pty.path;
    return true;
}

bool Line::openDevice(const QString& path, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = lastError(name.constData());
        return false;
    }
    if (!makeRaw9600(fd)) {
        *error = lastError(name.constData());
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

QByteArray Line::readAvailable(bool* gone)
{
    *gone = false;
    QByteArray got;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            *gone = true;
        break;
    }
    return got;
}

bool Line::send(quint8 byte)
{
    if (m_slave >= 0)
        dropStaleReadings();
    const char c = char(byte);
    ssize_t n;
    do {
        n = ::write(m_fd, &c, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

void Line::dropStaleReadings()
{
    int waiting = 0;
    if (::ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting >= kMaxUntakenReadings)
        ::tcflush(m_slave, TCIFLUSH);
}

bool makeLink(const QString& linkPath, const QString& target, QString* error)
{
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st
    {
    };
    if (::lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error =
            QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
        return false;
    }
    // Made under a temporary name and renamed over the old one, so the name never points
    // nowhere in between.
    const QByteArray temp = link + ".tmp" + QByteArray::number(::getpid());
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(target).constData(), temp.constData()) != 0) {
        *error = lastError(temp.constData());
        return false;
    }
    if (::rename(temp.constData(), link.constData()) != 0) {
        *error = lastError(link.constData());
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

void removeLink(const QString& linkPath, const QString& target)
{
    const QByteArray link = QFile::encodeName(linkPath);
    char buf[4096];
    const ssize_t n = ::readlink(link.constData(), buf, sizeof buf - 1);
    if (n >= 0 && QByteArray(buf, n) == QFile::encodeName(target))
        ::unlink(link.constData());
}

} // namespace smartcar::sim
