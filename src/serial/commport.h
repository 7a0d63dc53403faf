#pragma once

#include "car/carreader.h"
#include "serial/openfailure.h"
#include "serial/portmap.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
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

    // The one line the car knows: 9600 baud, no parity, 8 data bits, 1 stop bit.
    static inline const QString kLineSettings = QStringLiteral("9600,n,8,1");
    // kLineSettings (blanks around it and either case allowed); anything else is a port
    // failure.
    void setSettings(const QString& text);
    // Which device a port number stands for (the machine's own map unless told otherwise).
    // Asked at every open, so a change counts from the next one.
    const PortMap& portMap() const { return m_ports; }
    void setPortMap(const PortMap& ports) { m_ports = ports; }
    // Where other programs' lock files are looked for before opening (the system's folders
    // unless told otherwise).
    void setLockDirectories(const QStringList& directories) { m_lockDirectories = directories; }

    bool portOpen() const;
    // true opens port commPort() with the settings (a port failure if the device is missing
    // or refuses, its detail naming the device and the cause); false closes it, which is
    // harmless on a closed port.
    void setPortOpen(bool open);
    // Opens `device` itself instead of what commPort() stands for now, with the same settings;
    // fails as setPortOpen(true) does. For bringing back a device that vanished, which may
    // have come back under another name while the entry's lookup now finds another one.
    void openDevice(const QString& device);
    // The device path the port was last opened by, as the lookup gave it (links unresolved).
    QString openedDevice() const { return m_openedDevice; }

    // 0 text, 1 binary. Bytes are raw either way; any other mode is a port failure.
    void setInputMode(int mode);

    // Bytes received and not yet read (at most kReceiveBufferBytes).
    int inBufferCount() const;
    // Every waiting byte, oldest first; they leave the buffer. Empty when nothing waits.
    QByteArray input();
    // Sends every byte in order and returns once they have been handed to the device. A frame
    // goes out whole or not at all: a line that cannot take it now (stopped by flow control,
    // its buffer full) fails the send with nothing written, and the port stays open; frames
    // sent before and still on their way are never thrown away for it. Only a frame the line
    // took part of and then no more within a short wait empties the line, and says so.
    void output(const QByteArray& bytes);
    // How the car will read the next byte, from what this port has put on the line since it
    // was made (kept over a close, since the car keeps its state too).
    const CarReader& carReads() const { return m_carReads; }

signals:
    // Every send, as it left (sent, with how the car read on before its first byte) or why it
    // did not (sendFailed, in the operator's words), and every read that took bytes. Emitted
    // once the bytes have gone out or been taken; a listener must be quick all the same.
    void sent(const QByteArray& bytes, const CarReader& before);
    void sendFailed(const QByteArray& bytes, const QString& reason);
    void received(const QByteArray& bytes);

    // The device failed while open (an adapter pulled out, a pseudo-terminal closed). The
    // port has already been closed when this is emitted; it is emitted once per failure.
    void disconnected(const QString& reason);

#ifdef Q_OS_UNIX
protected:
    // One write(2) of the output path, errno set as by it. A test's faulty line takes its place.
    virtual qint64 writeToLine(int fd, const char* data, qint64 size);
#endif

private:
    void onError(QSerialPort::SerialPortError error);
    // True when the open device has hung up or gone (adapter pulled, far end of a
    // pseudo-terminal closed), as opposed to merely failing one operation.
    bool deviceGone() const;
    void closeVanished(const QString& reason);
    void watchDevice();
    void requireOpen() const;
    // The send itself; Unix writes to the descriptor, elsewhere Qt's buffer is pushed out.
    void transmit(const QByteArray& bytes);
#ifdef Q_OS_UNIX
    // Throws unless the line can take a frame now, closing the port if the device went.
    void requireRoom(int fd);
    // One frame straight to the descriptor, the whole of it or a failure.
    void writeFrame(int fd, const QByteArray& bytes);
    // Writes the rest of a frame whose head the line has taken, waiting a short time for
    // room; false if it could not (the port may have been closed as gone meanwhile).
    bool finishFrame(int fd, QByteArray rest);
#endif

    QSerialPort m_port;
    int m_portNumber = 1;
    QString m_openedDevice;
    CarReader m_carReads;
    PortMap m_ports = PortMap::ofSystem();
    QStringList m_lockDirectories = systemLockDirectories();
    bool m_closingOnError = false;
    QTimer m_watch;
};

} // namespace smartcar
