#include "serial/commport.h"

#include "common/failure.h"
#include "serial/openfailure.h"
#include "serial/portmap.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <chrono>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace smartcar {

namespace {
#ifndef Q_OS_UNIX
// How long output may take to drain Qt's buffer into the device before it counts as failed.
constexpr std::chrono::milliseconds kOutputTimeout{1000};
#endif
#ifdef Q_OS_UNIX
// How long the rest of a frame the line took only part of may wait for room. At 9600 baud a
// frame takes about two milliseconds; a line still full after this is stuck.
constexpr std::chrono::milliseconds kFinishFrameTimeout{200};
#endif
// How often an open port looks whether its device is still there. Qt learns of a hang-up only
// by reading, and it stops reading once its receive buffer is full: with 1024 unread bytes a
// pulled adapter would go unnoticed until the next send.
constexpr std::chrono::milliseconds kWatchInterval{300};

QString busyLine()
{
    return QStringLiteral("发送超时：线路忙，此帧未发送");
}

QString goneLine()
{
    return QStringLiteral("发送失败：通信端口已断开，此帧未发送");
}
} // namespace

CommPort::CommPort(QObject* parent)
    : QObject(parent)
{
    m_port.setReadBufferSize(kReceiveBufferBytes);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CommPort::onError);
    m_watch.setInterval(kWatchInterval);
    connect(&m_watch, &QTimer::timeout, this, &CommPort::watchDevice);
}

CommPort::~CommPort()
{
    if (m_port.isOpen())
        m_port.close();
}

void CommPort::setCommPort(int portNumber)
{
    if (m_port.isOpen())
        throw Failure::portFailure(QStringLiteral("通信端口打开时不能更改端口号"));
    if (portNumber < 1 || portNumber > 255)
        throw Failure::portFailure(QStringLiteral("端口号 %1 无效").arg(portNumber));
    m_portNumber = portNumber;
}

void CommPort::setSettings(const QString& text)
{
    // The car's radio link knows one line, and the console sets only that one before every
    // open; the setting stays as the call it makes, without a parser for lines it never uses.
    if (text.trimmed().compare(kLineSettings, Qt::CaseInsensitive) != 0)
        throw Failure::portFailure(QStringLiteral("串口参数“%1”无效").arg(text));
}

bool CommPort::portOpen() const
{
    return m_port.isOpen();
}

void CommPort::setPortOpen(bool open)
{
    if (!open) {
        m_watch.stop();
        if (m_port.isOpen())
            m_port.close();
        m_port.clearError();
        return;
    }
    // The device is looked up now: an adapter plugged in since the last open is found.
    const QString device = m_ports.deviceForPort(m_portNumber);
    if (device.isEmpty()) {
        OpenFailure none;
        none.cause = OpenFailure::Cause::NoUsbAdapter;
        none.device = portListTexts().value(m_portNumber - 1);
        throw Failure::portFailure(explainOpenFailure(none));
    }
    openDevice(device);
}

void CommPort::openDevice(const QString& device)
{
    if (m_port.isOpen())
        throw Failure::portFailure(QStringLiteral("通信端口已经打开"));
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // Qt honours only its own live locks: it takes a classic ten-column lock of a running
    // terminal program for stale, replaces it and shares the line with that program. Another
    // program's lock is therefore read first and left exactly as it is.
    // (A device that is not there is reported as missing by the failed open below.)
    if (QFileInfo::exists(device)) {
        if (const auto locked = lockedByOther(device, m_lockDirectories))
            throw Failure::portFailure(explainOpenFailure(*locked));
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString why = m_port.errorString();
        m_port.clearError();
        throw Failure::portFailure(
            explainOpenFailure(diagnoseOpenFailure(device, why, m_lockDirectories)));
    }
    // Bytes that arrived before the port was ours are not the car's answer to anything.
    m_port.clear(QSerialPort::Input);
#ifdef Q_OS_UNIX
    // The poll takes what has arrived straight from the descriptor, as the frames go out.
    // Left on, Qt's own reader would wake the console for every byte the car sends, only to
    // move it into a buffer the poll empties ten times a second anyway.
    for (QSocketNotifier* notifier : m_port.findChildren<QSocketNotifier*>()) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(false);
    }
#endif
    m_openedDevice = device;
    m_carReads.reopen();
    m_watch.start();
}

void CommPort::setInputMode(int mode)
{
    // QSerialPort reads raw bytes in either mode, so there is nothing to switch.
    if (mode != 0 && mode != 1)
        throw Failure::portFailure(QStringLiteral("输入模式 %1 无效").arg(mode));
}

#ifdef Q_OS_UNIX
int CommPort::inBufferCount() const
{
    requireOpen();
    int waiting = 0;
    if (::ioctl(int(m_port.handle()), FIONREAD, &waiting) < 0)
        return 0;
    return int(std::min<qint64>(waiting, kReceiveBufferBytes));
}

QByteArray CommPort::input()
{
    requireOpen();
    const int fd = int(m_port.handle());
    QByteArray bytes(kReceiveBufferBytes, Qt::Uninitialized);
    qint64 got = 0;
    while (got < kReceiveBufferBytes) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(kReceiveBufferBytes - got));
        if (n > 0) {
            got += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing more now (EAGAIN), or the line has hung up, which the device watch notices
        // and reports by itself, outside the poll's tick.
        break;
    }
    bytes.truncate(got);
    bytes.squeeze(); // a traffic row keeps the read's own bytes, not the whole buffer
    if (!bytes.isEmpty())
        emit received(bytes);
    return bytes;
}
#else
int CommPort::inBufferCount() const
{
    requireOpen();
    return int(m_port.bytesAvailable());
}

QByteArray CommPort::input()
{
    requireOpen();
    QByteArray bytes = m_port.readAll();
    // Qt hands over the whole chunk it read into, 64 KiB whatever it holds: kept in a traffic
    // row, a read of a few bytes would keep all of it.
    if (bytes.capacity() > 2 * bytes.size())
        bytes.squeeze();
    if (!bytes.isEmpty())
        emit received(bytes);
    return bytes;
}
#endif

void CommPort::output(const QByteArray& bytes)
{
    try {
        transmit(bytes);
    } catch (const Failure& failure) {
        emit sendFailed(bytes, failure.detail());
        throw;
    }
    if (bytes.isEmpty())
        return;
    const CarReader before = m_carReads;
    m_carReads.read(bytes);
    emit sent(bytes, before);
}

#ifdef Q_OS_UNIX
void CommPort::transmit(const QByteArray& bytes)
{
    requireOpen();
    if (bytes.isEmpty())
        return;
    const int fd = int(m_port.handle());
    requireRoom(fd);
    writeFrame(fd, bytes);
}

void CommPort::requireRoom(int fd)
{
    // A frame is started only when the line can take it now. A stopped or backed-up line
    // reports no room long before its last byte is taken, so a one- or two-byte frame that
    // finds room goes out whole.
    pollfd room{fd, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&room, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        throw Failure::portFailure(
            QStringLiteral("发送失败：%1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (room.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        closeVanished(QStringLiteral("设备已断开"));
        throw Failure::portFailure(goneLine());
    }
    if (!(room.revents & POLLOUT))
        throw Failure::portFailure(busyLine());
}

void CommPort::writeFrame(int fd, const QByteArray& bytes)
{
    // Straight to the descriptor, not through Qt's write buffer: Qt keeps what the device did
    // not take and writes it by itself once the line moves, so a frame reported as failed
    // would reach the car later, or its tail would join the next frame.
    const auto gone = [&](int err) {
        closeVanished(QString::fromLocal8Bit(std::strerror(err ? err : EIO)));
        return Failure::portFailure(goneLine());
    };
    qint64 written;
    do {
        written = writeToLine(fd, bytes.constData(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written == bytes.size())
        return;
    if (written <= 0) {
        const int err = written < 0 ? errno : 0;
        if (err == EIO || err == ENXIO || err == ENODEV || deviceGone())
            throw gone(err);
        // Nothing of this frame is queued, so nothing is flushed: the frames before it,
        // still on their way, are the car's.
        throw Failure::portFailure(busyLine());
    }
    // The head of the frame is queued. Left alone, the car would take it with the next
    // frame as one garbled command, so the rest follows as soon as the line has room.
    if (finishFrame(fd, bytes.mid(written)))
        return;
    // The head may reach the car, or go with the queue: a speed code among it leaves the car
    // waiting for a speed byte or not.
    m_carReads.lose();
    if (!m_port.isOpen())
        throw Failure::portFailure(goneLine());
    // Only now is the queue emptied, with everything in it.
    m_port.clear(QSerialPort::Output);
    throw Failure::portFailure(QStringLiteral("发送超时：线路已清空，之前的帧可能未发出"));
}

qint64 CommPort::writeToLine(int fd, const char* data, qint64 size)
{
    return ::write(fd, data, size_t(size));
}

bool CommPort::finishFrame(int fd, QByteArray rest)
{
    QElapsedTimer clock;
    clock.start();
    while (!rest.isEmpty()) {
        const qint64 left = kFinishFrameTimeout.count() - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd room{fd, POLLOUT, 0};
        const int ready = ::poll(&room, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (room.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            closeVanished(QStringLiteral("设备已断开"));
            return false;
        }
        if (!(room.revents & POLLOUT))
            continue;
        const qint64 written = writeToLine(fd, rest.constData(), rest.size());
        if (written > 0)
            rest.remove(0, written);
        else if (written < 0 && errno != EINTR && errno != EAGAIN)
            return false;
    }
    return true;
}
#else
void CommPort::transmit(const QByteArray& bytes)
{
    requireOpen();
    if (bytes.isEmpty())
        return;
    // A pulled adapter the watch has not seen yet: said as on Unix, not as a write error.
    if (deviceGone()) {
        closeVanished(QStringLiteral("设备已断开"));
        throw Failure::portFailure(goneLine());
    }
    if (m_port.write(bytes) != bytes.size()) {
        m_port.clear(QSerialPort::Output);
        m_carReads.lose();
        throw Failure::portFailure(busyLine());
    }
    // write() only fills Qt's buffer; without the event loop nothing would reach the device
    // before a blocking wait that follows (a turn's sleep). Push it out now.
    m_port.flush();
    const bool taken = m_port.bytesToWrite() == 0
        || m_port.waitForBytesWritten(int(kOutputTimeout.count()));
    // The device may have failed, and been closed, while writing: part of it may be out.
    if (!m_port.isOpen()) {
        m_carReads.lose();
        throw Failure::portFailure(goneLine());
    }
    if (!taken) {
        m_port.clear(QSerialPort::Output); // withdrawn, so no piece of it goes out later
        m_carReads.lose();
        throw Failure::portFailure(busyLine());
    }
}
#endif

void CommPort::requireOpen() const
{
    if (!m_port.isOpen())
        throw Failure::portNotOpen();
}

void CommPort::onError(QSerialPort::SerialPortError error)
{
    // Errors of a failed open are reported by setPortOpen itself.
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
        return;
        // Only a device that is really gone closes the port. Qt reports a line that is merely
        // busy (EAGAIN) as a resource error too, so on Unix the descriptor itself decides.
#ifdef Q_OS_UNIX
    const bool gone = deviceGone();
#else
    const bool gone = error == QSerialPort::ResourceError
        || error == QSerialPort::DeviceNotFoundError || error == QSerialPort::PermissionError;
#endif
    if (!gone) {
        m_port.clearError();
        return;
    }
    closeVanished(m_port.errorString());
}

bool CommPort::deviceGone() const
{
#ifdef Q_OS_UNIX
    if (!m_port.isOpen())
        return false;
    // A hung-up tty (adapter removed, far end of a pseudo-terminal closed) reports POLLHUP
    // whatever is waiting to be read.
    pollfd p{int(m_port.handle()), 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#elif defined(Q_OS_WIN)
    if (!m_port.isOpen())
        return false;
    // The handle of a removed adapter refuses every request. Asking for the line's state
    // costs nothing and disturbs nothing Qt relies on: Qt asks the same for its queue counts.
    DWORD errors = 0;
    COMSTAT state{};
    return !::ClearCommError(m_port.handle(), &errors, &state);
#else
    return false;
#endif
}

void CommPort::watchDevice()
{
    if (deviceGone())
        closeVanished(QStringLiteral("设备已断开"));
}

void CommPort::closeVanished(const QString& reason)
{
    // A vanished device keeps raising errors in a tight loop while Qt still calls the port
    // open. Close it once, and let the window say so.
    if (m_closingOnError || !m_port.isOpen())
        return;
    m_closingOnError = true;
    m_watch.stop();
    m_port.close();
    m_port.clearError();
    m_closingOnError = false;
    emit disconnected(reason);
}

} // namespace smartcar
