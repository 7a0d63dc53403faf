#pragma once

#include "serial/linesettings.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

namespace smartcar {

// The serial port service the console drives (the main window's MSComm1): a port number,
// line settings, an open state, and byte-array input and output. Reception is polled; the
// only notification is `disconnected`, for a device that went away while open.
//
// Every operation that needs an open port throws Failure::portNotOpen() when it is closed.
class CommPort : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kReceiveBufferBytes = 1024;

    explicit CommPort(QObject* parent = nullptr);
    ~CommPort() override;

    // 1 initially. May only be changed while the port is closed.
    int commPort() const { return m_portNumber; }
    void setCommPort(int portNumber);

    // "9600,n,8,1" and the like; applied at the next open. Bad text is a port failure.
    void setSettings(const QString& text);

    bool portOpen() const;
    // true opens port commPort() with the settings (a port failure if the device is missing
    // or refuses, its detail naming the device and the cause); false closes it, which is
    // harmless on a closed port.
    void setPortOpen(bool open);

    // 0 text, 1 binary. Bytes are raw either way; any other mode is a port failure.
    void setInputMode(int mode);

    // Bytes received and not yet read (at most kReceiveBufferBytes).
    int inBufferCount() const;
    // Every waiting byte, oldest first; they leave the buffer. Empty when nothing waits.
    QByteArray input();
    // Sends every byte in order and returns once they have been handed to the device. A frame
    // goes out whole or not at all: a line that cannot take it now (stopped by flow control,
    // its buffer full) fails the send with nothing written, and the port stays open.
    void output(const QByteArray& bytes);

signals:
    // Every send, as it left (sent) or why it did not (sendFailed, in the operator's words),
    // and every read that took bytes. Emitted once the bytes have gone out or been taken; a
    // listener must be quick all the same, since a turn's wait begins when output() returns.
    void sent(const QByteArray& bytes);
    void sendFailed(const QByteArray& bytes, const QString& reason);
    void received(const QByteArray& bytes);

    // The device failed while open (an adapter pulled out, a pseudo-terminal closed). The
    // port has already been closed when this is emitted; it is emitted once per failure.
    void disconnected(const QString& reason);

private:
    void onError(QSerialPort::SerialPortError error);
    // True when the open device has hung up or gone (adapter pulled, far end of a
    // pseudo-terminal closed), as opposed to merely failing one operation.
    bool deviceGone() const;
    void closeVanished(const QString& reason);
    void watchDevice();
    void requireOpen() const;
    void transmit(const QByteArray& bytes);

    QSerialPort m_port;
    int m_portNumber = 1;
    LineSettings m_settings;
    bool m_closingOnError = false;
    QTimer m_watch;
};

} // namespace smartcar
