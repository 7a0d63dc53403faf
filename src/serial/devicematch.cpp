#include "serial/devicematch.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace smartcar {

namespace {

bool sameModel(const DeviceIdentity& a, const DeviceIdentity& b)
{
    return a.vendor == b.vendor && a.product == b.product;
}

bool samePath(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

bool isSameDevice(const DeviceIdentity& remembered, const DeviceIdentity& candidate)
{
    const QString serial = usableSerial(remembered.serial);
    if (!serial.isEmpty())
        return usableSerial(candidate.serial) == serial && sameModel(remembered, candidate);
    const bool linkMadeAnew = remembered.link.isEmpty() || candidate.link != remembered.link;
    return usableSerial(candidate.serial).isEmpty() && samePath(candidate.path, remembered.path)
        && sameModel(remembered, candidate) && linkMadeAnew;
}

// The link at `path` as made, or empty when `path` is no link.
QString linkAt(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return {};
#else
    struct stat link;
    if (::lstat(QFile::encodeName(path).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return {};
    return QStringLiteral("%1:%2.%3")
        .arg(link.st_ino)
        .arg(link.st_ctim.tv_sec)
        .arg(link.st_ctim.tv_nsec, 9, 10, QLatin1Char('0'));
#endif
}

DeviceIdentity bareIdentity(const QString& path)
{
    return DeviceIdentity{path, {}, {}, {}, linkAt(path)};
}

DeviceIdentity identityOf(const QString& path, const QSerialPortInfo& info)
{
    DeviceIdentity id = bareIdentity(path);
    if (info.hasVendorIdentifier())
        id.vendor = info.vendorIdentifier();
    if (info.hasProductIdentifier())
        id.product = info.productIdentifier();
    id.serial = usableSerial(info.serialNumber());
    return id;
}

// The name a listed port is opened by: the COM name on Windows, the device node elsewhere.
QString listedPath(const QSerialPortInfo& info)
{
#ifdef Q_OS_WIN
    return info.portName();
#else
    return info.systemLocation();
#endif
}

// The node a path leads to, following links; empty when nothing is there.
QString nodeBehind(const QString& path)
{
#ifdef Q_OS_WIN
    return path;
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}

} // namespace

QString usableSerial(const QString& reported)
{
    const QString serial = reported.trimmed();
    return serial == QLatin1String("0") ? QString() : serial;
}

bool mayReconnect(const DeviceIdentity& remembered)
{
    if (remembered.path.isEmpty())
        return false;
#ifdef Q_OS_WIN
    return true;
#else
    return !QDir::cleanPath(remembered.path).startsWith(QLatin1String("/dev/pts/"));
#endif
}

DeviceMatch findSameDevice(const DeviceIdentity& remembered, const QList<DeviceIdentity>& present)
{
    DeviceMatch match;
    for (qsizetype i = 0; i < present.size(); ++i) {
        if (!isSameDevice(remembered, present.at(i)))
            continue;
        if (match.outcome == DeviceMatch::Outcome::Found)
            return {DeviceMatch::Outcome::Ambiguous, -1};
        match = {DeviceMatch::Outcome::Found, i};
    }
    return match;
}

DeviceIdentity identifyDevice(const QString& path)
{
    const QString node = nodeBehind(path);
    if (!node.isEmpty()) {
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : ports) {
            if (listedPath(info) == node)
                return identityOf(path, info);
        }
    }
    return bareIdentity(path);
}

QList<DeviceIdentity> presentDevices(const DeviceIdentity& remembered)
{
    QList<DeviceIdentity> present;
    const QString rememberedNode = nodeBehind(remembered.path);
    const bool anySerial = !usableSerial(remembered.serial).isEmpty();
    if (!anySerial && rememberedNode.isEmpty())
        return present;
#ifdef Q_OS_WIN
    // Windows lists every COM port it has; a name it does not list is not there.
    const bool atRememberedPath = false;
#else
    const bool atRememberedPath = !rememberedNode.isEmpty();
#endif
    if (atRememberedPath)
        present << bareIdentity(remembered.path);
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        const QString path = listedPath(info);
        if (atRememberedPath && path == rememberedNode)
            present.first() = identityOf(remembered.path, info);
        else if (anySerial || samePath(path, remembered.path))
            present << identityOf(path, info);
    }
    return present;
}

} // namespace smartcar
