#include "serial/reconnect.h"

#include "common/failure.h"
#include "serial/commport.h"

namespace smartcar {

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

void Reconnect::look()
{
    // Opened meanwhile by the operator's own hand: that open decides.
    if (m_port->portOpen()) {
        cancel();
        return;
    }
    const QList<DeviceIdentity> present = presentDevices(m_remembered);
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
