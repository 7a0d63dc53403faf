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
#include <unistd.h>
#endif

namespace smartcar {

#ifndef Q_OS_WIN
namespace {
// Where programs leave serial lock files: Qt's own places, which include the UUCP ones.
const char* const kLockDirectories[] = {
    "/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock",
};

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

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The live process a lock file names, or 0. A lock left by a process that is gone is stale
// and holds nothing.
qint64 lockHolder(const QString& device)
{
    for (const QString& name : lockNames(device)) {
        for (const char* dir : kLockDirectories) {
            QFile lock(QLatin1String(dir) + QStringLiteral("/LCK..") + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            bool ok = false;
            const qint64 pid = lock.readLine(64).trimmed().toLongLong(&ok);
            if (ok && processAlive(pid))
                return pid;
        }
    }
    return 0;
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
} // namespace
#endif

OpenFailure diagnoseOpenFailure(const QString& device, const QString& openError)
{
    OpenFailure result;
    result.device = device;
    result.reason = openError;
#ifndef Q_OS_WIN
    const QByteArray path = QFile::encodeName(device);
    struct stat node
    {
    };
    if (::stat(path.constData(), &node) != 0) {
        // EACCES here means a directory on the way may not be searched.
        result.cause = errno == EACCES ? OpenFailure::Cause::NoPermission
                                       : OpenFailure::Cause::Missing;
        return result;
    }
    // A lock file first: reading it disturbs nobody, while opening a serial line can toggle
    // its modem lines.
    if (const qint64 holder = lockHolder(device)) {
        result.cause = OpenFailure::Cause::Busy;
        result.holder = holder;
        return result;
    }
    const auto refused = [&] {
        result.cause = OpenFailure::Cause::NoPermission;
        result.group = groupName(node.st_gid);
        return result;
    };
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return refused();
    // Non-blocking, so a line waiting for carrier does not hold the console; no controlling
    // terminal; no exclusive claim, so nothing is left behind.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return result; // nothing wrong to see now: keep what the open said
    }
    const int error = errno;
    switch (error) {
    case EACCES:
    case EPERM:
        return refused();
    case EBUSY:
        result.cause = OpenFailure::Cause::Busy;
        return result;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        result.cause = OpenFailure::Cause::Missing;
        return result;
    default:
        result.reason = QString::fromLocal8Bit(std::strerror(error));
        return result;
    }
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
    case OpenFailure::Cause::Other:
        break;
    }
    return QStringLiteral("无法打开设备 %1：%2").arg(device, failure.reason);
}

} // namespace smartcar
