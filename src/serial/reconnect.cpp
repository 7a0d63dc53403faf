#include "serial/reconnect.h"

#include "common/failure.h"
#include "serial/commport.h"
#include "serial/portmap.h"

#include <QFileInfo>

namespace smartcar {

namespace {
// Looks that ask the system's port list again after the devices changed. A replugged adapter's
// node appears before udev has described it, so the first look may see it without its serial
// number; asking for two seconds covers that.
constexpr int kFreshLooksAfterChange = 4;
// An adapter whose driver names its node otherwise (not ttyUSB, ttyACM or rfcomm) changes
// nothing a look sees; the list is asked now and then all the same, every ten seconds.
constexpr int kLooksBetweenAsking = 20;

#ifndef Q_OS_WIN
// What a look can see without asking the port list: the serial device names present and the
// node the remembered path leads to. The list itself costs tens of milliseconds a time.
QStringList deviceNamesNow(const QString& directory, const QString& rememberedPath)
{
    QStringList names = presentSerialDevices(directory);
    names.sort();
    names << QFileInfo(rememberedPath).canonicalFilePath();
    return names;
}
#endif
} // namespace

Reconnect::Reconnect(CommPort* port, QObject* parent)
    : QObject(parent)
    , m_port(port)
{
    m_looking.setInterval(kLookInterval);
    connect(&m_looking, &QTimer::timeout, this, &Reconnect::look);
}

void Reconnect::rememberOpened()
{
    cancel();
    // Asked now, while the device is surely there: once it has gone, nothing tells what it was.
    m_remembered = identifyDevice(m_port->openedDevice());
}

bool Reconnect::startWaiting()
{
    m_lastCause.clear();
    m_seenNames.clear();
    m_present.clear();
    m_freshLooksLeft = 0;
    m_looksSinceAsked = 0;
    if (!mayReconnect(m_remembered)) {
        cancel();
        return false;
    }
    m_looking.start();
    return true;
}

void Reconnect::cancel()
{
    m_looking.stop();
}

const QList<DeviceIdentity>& Reconnect::present()
{
#ifdef Q_OS_WIN
    m_present = presentDevices(m_remembered);
#else
    const QStringList names = deviceNamesNow(m_port->portMap().deviceDirectory(),
                                             m_remembered.path);
    if (names != m_seenNames) {
        m_seenNames = names;
        m_freshLooksLeft = kFreshLooksAfterChange;
    }
    if (m_freshLooksLeft > 0 || ++m_looksSinceAsked >= kLooksBetweenAsking) {
        m_freshLooksLeft = qMax(0, m_freshLooksLeft - 1);
        m_looksSinceAsked = 0;
        m_present = presentDevices(m_remembered);
    }
#endif
    return m_present;
}

void Reconnect::look()
{
    // Opened meanwhile by the operator's own hand: that open decides.
    if (m_port->portOpen()) {
        cancel();
        return;
    }
    const QList<DeviceIdentity> present = this->present();
    const DeviceMatch match = findSameDevice(m_remembered, present);
    QString cause;
    if (match.outcome == DeviceMatch::Outcome::Ambiguous) {
        cause = QStringLiteral("有多个相同的适配器（序列号 %1），无法确定是哪一个")
                    .arg(m_remembered.serial);
    } else if (match.outcome == DeviceMatch::Outcome::Found) {
        const DeviceIdentity found = present.at(match.index);
        try {
            m_port->openDevice(found.path);
            cancel();
            m_remembered = found;
            emit reconnected(found.path);
            return;
        } catch (const Failure& failure) {
            cause = failure.detail();
        }
    }
    if (cause.isEmpty() || cause == m_lastCause)
        return;
    m_lastCause = cause;
    emit stillWaiting(cause);
}

} // namespace smartcar
