#include "support/ptypair.h"

#include "sim/rawpty.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace smartcar {

PtyPair::PtyPair()
{
    sim::RawPty pty;
    QString error;
    if (!sim::openRawPty(&pty, &error))
        return;
    m_master = pty.master;
    m_slave = pty.slave;
    m_path = pty.path;
}

QByteArray PtyPair::read(int atLeast, std::chrono::milliseconds timeout)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (m_master >= 0 && got.size() < atLeast) {
        // Always look once, so a zero timeout means "what is there now".
        const qint64 left = qMax<qint64>(0, timeout.count() - clock.elapsed());
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

void PtyPair::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0)
            break;
    }
}

qsizetype PtyPair::offer(const QByteArray& bytes)
{
    const ssize_t n = m_master >= 0 ? ::write(m_master, bytes.constData(), size_t(bytes.size()))
                                    : -1;
    return n > 0 ? qsizetype(n) : 0;
}

int PtyPair::waitingAtConsole() const
{
    int n = 0;
    return m_slave >= 0 && ::ioctl(m_slave, FIONREAD, &n) == 0 ? n : 0;
}

void PtyPair::holdConsoleOutput(bool held)
{
    // Our own slave descriptor is the same terminal the console writes to.
    if (m_slave >= 0)
        ::tcflow(m_slave, held ? TCOOFF : TCOON);
}

qsizetype PtyPair::backUpConsoleOutput(char filler)
{
    if (m_slave < 0)
        return 0;
    // Non-blocking on our own open file only; the console's descriptor is unaffected.
    const int flags = ::fcntl(m_slave, F_GETFL);
    ::fcntl(m_slave, F_SETFL, flags | O_NONBLOCK);
    qsizetype pushed = 0;
    for (;;) {
        pollfd p{m_slave, POLLOUT, 0};
        if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLOUT))
            break;
        if (::write(m_slave, &filler, 1) != 1)
            break;
        ++pushed;
    }
    ::fcntl(m_slave, F_SETFL, flags);
    return pushed;
}

void PtyPair::vanish()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

} // namespace smartcar
