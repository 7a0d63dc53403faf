#pragma once

#include "serial/devicematch.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace smartcar {

class CommPort;

// Brings back the device a port had open after it vanished, and no other device. The port
// says when its device was opened by the operator (rememberOpened) and when it vanished
// (startWaiting); from then on the device is looked for every kLookInterval and, once it is
// back, opened again with the port's settings. Nothing is ever written to it here.
//
// A look neither waits nor handles events, so it can run inside any wait of the console
// without anything running inside it.
class Reconnect : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLookInterval{500};

    explicit Reconnect(CommPort* port, QObject* parent = nullptr);

    // The port has just been opened: its device is the one to bring back should it vanish.
    // Ends any waiting, since the port is open again.
    void rememberOpened();
    // The device vanished without anyone closing it: start looking for it. Returns false, and
    // does not wait, for a device that could not be told from another one (nothing remembered,
    // a bare pseudo-terminal number).
    bool startWaiting();
    // Stop looking (another port picked, the program ending). The remembered device stays
    // remembered, harmlessly: it is only looked for after the next vanishing.
    void cancel();
    bool isWaiting() const { return m_looking.isActive(); }

signals:
    // The remembered device is open again, by this path.
    void reconnected(const QString& device);
    // The device is back but could not be opened (busy, no permission) or cannot be told
    // apart from another one; looking goes on. Emitted once per cause, not once per look.
    void stillWaiting(const QString& cause);

private:
    void look();
    // The devices that could be the remembered one, asked afresh only when something changed.
    const QList<DeviceIdentity>& present();

    CommPort* m_port;
    DeviceIdentity m_remembered;
    QString m_lastCause;
    QStringList m_seenNames; // what the last look saw in the device directory
    QList<DeviceIdentity> m_present;
    int m_freshLooksLeft = 0;
    int m_looksSinceAsked = 0;
    QTimer m_looking;
};

} // namespace smartcar
