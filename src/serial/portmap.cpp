#include "serial/portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>
#include <optional>

#ifndef Q_OS_WIN
#include <dirent.h>
#endif

namespace smartcar {

namespace {
constexpr int kListedPorts = 20;
constexpr int kOpenablePorts = 17;
// COM3 and COM4 are labelled "(USB)"; the first adapters go there, the rest from COM5 on.
constexpr int kFirstUsbPort = 3;
constexpr int kFirstFurtherPort = 5;

// The kinds of serial device handed out automatically, in the order they are handed out:
// adapters first, Bluetooth links after them.
enum class DeviceKind { UsbAdapter, AcmAdapter, Link };

struct DevicePrefix
{
    QLatin1String text;
    DeviceKind kind;
};

const DevicePrefix kDevicePrefixes[] = {
    {QLatin1String("ttyUSB"), DeviceKind::UsbAdapter},
    {QLatin1String("ttyACM"), DeviceKind::AcmAdapter},
    {QLatin1String("rfcomm"), DeviceKind::Link},
};

struct DeviceName
{
    DeviceKind kind;
    qulonglong number;
    QString name;
};

// "ttyUSB12" -> a USB adapter, number 12. Anything else (no digits, a suffix, another
// prefix): none.
std::optional<DeviceName> parseDeviceName(const QString& name)
{
    for (const DevicePrefix& prefix : kDevicePrefixes) {
        if (!name.startsWith(prefix.text) || name.size() == prefix.text.size())
            continue;
        const QStringView digits = QStringView(name).mid(prefix.text.size());
        if (digits.size() > 9
            || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
            return std::nullopt;
        return DeviceName{prefix.kind, digits.toULongLong(), name};
    }
    return std::nullopt;
}

QString joinPath(const QString& directory, const QString& name)
{
    return QDir::cleanPath(directory + QLatin1Char('/') + name);
}

QString fallbackDevice(const QString& directory, int portNumber)
{
    return joinPath(directory, QStringLiteral("ttyS%1").arg(portNumber - 1));
}
} // namespace

QStringList portListTexts()
{
    QStringList texts;
    for (int n = 1; n <= kListedPorts; ++n) {
        QString text = QStringLiteral("COM%1").arg(n);
        if (n == 3 || n == 4)
            text += QStringLiteral("(USB)");
        texts << text;
    }
    return texts;
}

bool isOpenableIndex(int index)
{
    return index >= 0 && index < kOpenablePorts;
}

QStringList presentSerialDevices(const QString& directory)
{
    QStringList names;
#ifndef Q_OS_WIN
    // A plain directory read: no stat per entry, so a look at /dev stays cheap enough to
    // repeat every time the list is shown.
    DIR* dir = ::opendir(QFile::encodeName(directory).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (parseDeviceName(name))
            names << name;
    }
    ::closedir(dir);
#else
    Q_UNUSED(directory);
#endif
    return names;
}

QMap<int, QString> portOverrides()
{
    QMap<int, QString> overrides;
    for (int n = 1; n <= kListedPorts; ++n) {
        const QByteArray name = "SMARTCAR_COM" + QByteArray::number(n);
        const QString mapped = qEnvironmentVariable(name.constData());
        if (!mapped.isEmpty())
            overrides.insert(n, mapped);
    }
    return overrides;
}

QStringList assignPortDevices(const QString& directory, const QStringList& present,
                              const QMap<int, QString>& overrides)
{
    // An override claims its path and the node it leads to: a by-id link taken for COM3 must
    // not hand the adapter behind it to COM4 as well.
    QStringList claimed;
    for (const QString& device : overrides) {
        claimed << QDir::cleanPath(device);
        const QString node = QFileInfo(device).canonicalFilePath();
        if (!node.isEmpty())
            claimed << node;
    }
    const auto isClaimed = [&](const QString& path) {
        if (claimed.contains(path))
            return true;
        const QString node = QFileInfo(path).canonicalFilePath();
        return !node.isEmpty() && claimed.contains(node);
    };

    std::vector<DeviceName> adapters;
    std::vector<DeviceName> links;
    for (const QString& name : present) {
        const auto parsed = parseDeviceName(name);
        if (!parsed || isClaimed(joinPath(directory, name)))
            continue;
        (parsed->kind == DeviceKind::Link ? links : adapters).push_back(*parsed);
    }
    const auto byKindThenNumber = [](const DeviceName& a, const DeviceName& b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        if (a.number != b.number)
            return a.number < b.number;
        return a.name < b.name; // "ttyUSB1" and "ttyUSB01" both exist: keep an order anyway
    };
    std::sort(adapters.begin(), adapters.end(), byKindThenNumber);
    std::sort(links.begin(), links.end(), byKindThenNumber);

    // The USB entries that no variable has taken get the first adapters; the further entries
    // take what adapters are left, then the links. Counting only the free USB entries keeps an
    // adapter from falling between the two when a variable takes COM3 or COM4.
    size_t usbEntries = 0;
    for (int n = kFirstUsbPort; n < kFirstFurtherPort; ++n)
        usbEntries += overrides.contains(n) ? 0 : 1;
    usbEntries = std::min(usbEntries, adapters.size());
    std::vector<DeviceName> further(adapters.begin() + usbEntries, adapters.end());
    further.insert(further.end(), links.begin(), links.end());
    adapters.resize(usbEntries);

    QStringList devices;
    size_t nextAdapter = 0;
    size_t nextFurther = 0;
    for (int n = 1; n <= kListedPorts; ++n) {
        if (overrides.contains(n)) {
            devices << overrides.value(n);
            continue;
        }
        const DeviceName* found = nullptr;
        if (n >= kFirstUsbPort && n < kFirstFurtherPort && nextAdapter < adapters.size())
            found = &adapters[nextAdapter++];
        else if (n >= kFirstFurtherPort && nextFurther < further.size())
            found = &further[nextFurther++];
        if (found)
            devices << joinPath(directory, found->name);
        else if (n >= kFirstUsbPort && n < kFirstFurtherPort)
            devices << QString();
        else
            devices << fallbackDevice(directory, n);
    }
    return devices;
}

PortMap PortMap::ofSystem()
{
    return PortMap(QStringLiteral("/dev"), portOverrides());
}

PortMap::PortMap(QString deviceDirectory, QMap<int, QString> overrides)
    : m_directory(std::move(deviceDirectory))
    , m_overrides(std::move(overrides))
{
}

void PortMap::setOverride(int portNumber, const QString& device)
{
    m_overrides.insert(portNumber, device);
}

QString PortMap::deviceForPort(int portNumber) const
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    if (portNumber >= 1 && portNumber <= kListedPorts) {
        return assignPortDevices(m_directory, presentSerialDevices(m_directory), m_overrides)
            .at(portNumber - 1);
    }
    return m_overrides.value(portNumber, fallbackDevice(m_directory, portNumber));
#endif
}

QStringList PortMap::toolTips() const
{
    // Qt's list knows descriptions for real adapters; it is only asked, never trusted to
    // say what exists (it lists neither pseudo-terminals nor links standing in for one).
    QHash<QString, QString> descriptions;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        QString text = info.description();
        if (text.isEmpty())
            text = info.manufacturer();
        if (!text.isEmpty())
            descriptions.insert(info.systemLocation(), text);
    }

    QStringList tips;
#ifdef Q_OS_WIN
    for (int n = 1; n <= kListedPorts; ++n) {
        const QString device = deviceForPort(n);
        const QString text = descriptions.value(QStringLiteral("\\\\.\\") + device,
                                                descriptions.value(device));
        tips << (text.isEmpty() ? device : device + QStringLiteral(" · ") + text);
    }
#else
    const QStringList devices = assignPortDevices(m_directory, presentSerialDevices(m_directory),
                                                  m_overrides);
    for (const QString& device : devices) {
        if (device.isEmpty()) {
            tips << QStringLiteral("未发现 USB 串口适配器");
            continue;
        }
        const QFileInfo info(device);
        if (!info.exists()) {
            tips << device + QStringLiteral("（未发现设备）");
            continue;
        }
        // A link (udev's or a test's) is described by what it points at.
        QString text = descriptions.value(device);
        if (text.isEmpty() && info.isSymLink())
            text = descriptions.value(info.canonicalFilePath());
        tips << (text.isEmpty() ? device : device + QStringLiteral(" · ") + text);
    }
#endif
    return tips;
}

} // namespace smartcar
