#include "serial/openfailure.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace smartcar {

#ifndef Q_OS_WIN
namespace {
// Qt names its lock after the device path without "/dev/", slashes turned into '_';
// UUCP-style programs after the node's own name.
QStringList lockNames(const QString& device)
{
    const auto qtName = [](QString path) {
        if (path.startsWith(QLatin1String("/dev/")))
            path.remove(0, 5);
        return path.replace(QLatin1Char('/'), QLatin1Char('_'));
    };
    QStringList names{qtName(device)};
    const QString real = QFileInfo(device).canonicalFilePath();
    if (!real.isEmpty()) {
        names << qtName(real) << QFileInfo(real).fileName();
    }
    names.removeDuplicates();
    return names;
}

qint64 largestProcessNumber()
{
    QFile max(QStringLiteral("/proc/sys/kernel/pid_max"));
    bool ok = false;
    qint64 value = 0;
    if (max.open(QIODevice::ReadOnly))
        value = max.readLine(32).trimmed().toLongLong(&ok);
    return ok && value > 0 ? value : 4194304; // the kernel's own limit
}

// The process number a lock file names, or 0 when it names none that could exist: text that
// is no number, or a number that kill() would take as a process group or as "everyone".
qint64 lockedBy(const QByteArray& content)
{
    const QByteArray first = content.left(content.indexOf('\n')).trimmed();
    if (first.isEmpty())
        return 0;
    for (const char c : first) {
        if (c < '0' || c > '9')
            return 0;
    }
    bool ok = false;
    const qint64 pid = first.toLongLong(&ok);
    return ok && pid >= 1 && pid <= largestProcessNumber() ? pid : 0;
}

bool processAlive(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}
QString groupName(gid_t gid)
{
    if (const group* g = ::getgrgid(gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(gid);
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

OpenFailure withCause(OpenFailure result, OpenFailure::Cause cause)
{
    result.cause = cause;
    return result;
}

OpenFailure refused(OpenFailure result, gid_t group)
{
    result.cause = OpenFailure::Cause::NoPermission;
    result.group = groupName(group);
    return result;
}

// The node itself could not be looked at.
OpenFailure fromStatError(OpenFailure result, int error)
{
    switch (error) {
    case EACCES: // a directory on the way may not be searched
        return withCause(result, OpenFailure::Cause::NoPermission);
    case ELOOP:
        result.reason = QStringLiteral("符号链接层数过多");
        return result;
    case ENOENT:
    case ENOTDIR:
        return withCause(result, OpenFailure::Cause::Missing);
    default:
        result.reason = QString::fromLocal8Bit(std::strerror(error));
        return result;
    }
}

// /dev/tty, /dev/console and /dev/ptmx stand for other terminals; none is a line of its own.
bool isLineNode(const struct stat& node)
{
    return S_ISCHR(node.st_mode) && !(major(node.st_rdev) == 5 && minor(node.st_rdev) <= 2);
}

// Opens the device once more to hear the cause from the system itself. Non-blocking, so a
// line waiting for carrier does not hold the console; no controlling terminal; no exclusive
// claim, so nothing is left behind.
OpenFailure fromTrialOpen(OpenFailure result, const QByteArray& path, gid_t group)
{
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        const bool terminal = ::isatty(fd);
        ::close(fd);
        // Otherwise nothing wrong to see now: keep what the open said.
        return terminal ? result : withCause(result, OpenFailure::Cause::NotSerial);
    }
    const int error = errno;
    switch (error) {
    case EACCES:
    case EPERM:
        return refused(result, group);
    case EBUSY:
        return withCause(result, OpenFailure::Cause::Busy);
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return withCause(result, OpenFailure::Cause::Missing);
    default:
        result.reason = QString::fromLocal8Bit(std::strerror(error));
        return result;
    }
}
} // namespace
#endif

QStringList systemLockDirectories()
{
#ifndef Q_OS_WIN
    return {
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
    };
#else
    return {};
#endif
}

std::optional<OpenFailure> lockedByOther(const QString& device, const QStringList& lockDirectories)
{
#ifndef Q_OS_WIN
    for (const QString& name : lockNames(device)) {
        for (const QString& dir : lockDirectories) {
            const QString path = dir + QStringLiteral("/LCK..") + name;
            if (!QFileInfo::exists(path))
                continue;
            OpenFailure found;
            found.device = device;
            QFile lock(path);
            if (!lock.open(QIODevice::ReadOnly)) {
                found.cause = OpenFailure::Cause::LockUnreadable;
                found.lockFile = path;
                found.lockOwner = QFileInfo(path).owner();
                return found;
            }
            const qint64 pid = lockedBy(lock.read(4096));
            if (pid == 0) {
                found.cause = OpenFailure::Cause::BadLock;
                found.lockFile = path;
                return found;
            }
            if (processAlive(pid)) {
                found.cause = OpenFailure::Cause::Busy;
                found.holder = pid;
                return found;
            }
        }
    }
#else
    Q_UNUSED(device);
    Q_UNUSED(lockDirectories);
#endif
    return std::nullopt;
}

OpenFailure diagnoseOpenFailure(const QString& device, const QString& openError,
                                const QStringList& lockDirectories)
{
    OpenFailure result;
    result.device = device;
    result.reason = openError;
#ifndef Q_OS_WIN
    const QByteArray path = QFile::encodeName(device);
    struct stat node
    {
    };
    if (::stat(path.constData(), &node) != 0)
        return fromStatError(result, errno);
    // A lock file first: reading it disturbs nobody, while opening a serial line can toggle
    // its modem lines.
    if (const auto locked = lockedByOther(device, lockDirectories))
        return *locked;
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return refused(result, node.st_gid);
    if (!isLineNode(node))
        return withCause(result, OpenFailure::Cause::NotSerial);
    return fromTrialOpen(result, path, node.st_gid);
#else
    // Qt's words for a failed open are the system's message alone. Asking the system again
    // tells the cause: Windows lends a COM port to one program at a time and refuses access
    // to any other, and a number with no port behind it (an adapter pulled, or given another
    // number) is not found. The port is let go at once if it opens now.
    const std::wstring path = (QStringLiteral("\\\\.\\") + device).toStdWString();
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return result;
    }
    switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        result.cause = OpenFailure::Cause::Missing;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        result.cause = OpenFailure::Cause::Busy;
        break;
    default:
        break;
    }
    return result;
#endif
}

QString explainOpenFailure(const OpenFailure& failure)
{
    const QString& device = failure.device;
    switch (failure.cause) {
    case OpenFailure::Cause::Missing:
        return QStringLiteral("未找到设备 %1：请检查适配器是否已插好。").arg(device);
    case OpenFailure::Cause::NoPermission:
        if (failure.group.isEmpty())
            return QStringLiteral("没有权限访问设备 %1：请检查它和它所在目录的权限。").arg(device);
        return QStringLiteral("没有权限读写设备 %1，它属于 %2 组。\n"
                              "请执行 sudo usermod -aG %2 $USER，然后注销并重新登录。")
            .arg(device, failure.group);
    case OpenFailure::Cause::Busy: {
        QString who;
#ifndef Q_OS_WIN
        if (failure.holder > 0) {
            const QString name = processName(failure.holder);
            who = name.isEmpty() ? QStringLiteral("（进程 %1）").arg(failure.holder)
                                 : QStringLiteral("（进程 %1 %2）").arg(failure.holder).arg(name);
        }
#endif
        return QStringLiteral("设备 %1 正被另一个程序占用%2。\n请先关闭那个程序，再打开端口。")
            .arg(device, who);
    }
    case OpenFailure::Cause::BadLock:
        return QStringLiteral("无法打开设备 %1。\n锁文件 %2 无法识别：若没有其他程序在用该设备，"
                              "可删除此文件。")
            .arg(device, failure.lockFile);
    case OpenFailure::Cause::LockUnreadable:
        return QStringLiteral("无法打开设备 %1。\n锁文件 %2 无法读取，它属于用户 %3，"
                              "可能是该用户正在使用这个设备：请先询问该用户或管理员。")
            .arg(device, failure.lockFile,
                 failure.lockOwner.isEmpty() ? QStringLiteral("（未知）") : failure.lockOwner);
    case OpenFailure::Cause::NotSerial:
        return QStringLiteral("无法打开设备 %1：不是串口设备").arg(device);
    case OpenFailure::Cause::NoUsbAdapter:
        return QStringLiteral("没有插上 %1 对应的 USB 串口适配器"
                              "（COM3(USB) 是插上的第一个，COM4(USB) 是第二个）。\n"
                              "请插上适配器再打开端口；用 ls /dev/ttyUSB* /dev/ttyACM* "
                              "可以查看已插上的适配器。")
            .arg(device);
    case OpenFailure::Cause::Other:
        break;
    }
    return QStringLiteral("无法打开设备 %1：%2").arg(device, failure.reason);
}

} // namespace smartcar
