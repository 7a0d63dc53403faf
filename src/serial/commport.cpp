#include "serial/commport.h"

#include "common/failure.h"
#include "serial/openfailure.h"
#include "serial/portmap.h"

#include <chrono>

namespace smartcar {

namespace {
// How long output may take to drain Qt's buffer into the device before it counts as failed.
// A frame is one or two bytes; the device's own buffer takes them at once unless it is stuck.
constexpr std::chrono::milliseconds kOutputTimeout{1000};
} // namespace

CommPort::CommPort(QObject* parent)
    : QObject(parent)
{
    m_port.setReadBufferSize(kReceiveBufferBytes);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CommPort::onError);
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
    const auto parsed = parseLineSettings(text);
    if (!parsed)
        throw Failure::portFailure(QStringLiteral("串口参数“%1”无效").arg(text));
    m_settingsText = text;
    m_settings = *parsed;
}

bool CommPort::portOpen() const
{
    return m_port.isOpen();
}

void CommPort::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen())
            m_port.close();
        m_port.clearError();
        return;
    }
    if (m_port.isOpen())
        throw Failure::portFailure(QStringLiteral("通信端口已经打开"));

    // The device is looked up now: an adapter plugged in since the last open is found.
    const QString device = deviceForPort(m_portNumber);
    m_port.setPortName(device);
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(m_settings.parity);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setStopBits(m_settings.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString why = m_port.errorString();
        m_port.clearError();
        throw Failure::portFailure(explainOpenFailure(diagnoseOpenFailure(device, why)));
    }
    // Bytes that arrived before the port was ours are not the car's answer to anything.
    m_port.clear(QSerialPort::Input);
}

void CommPort::setInputMode(int mode)
{
    if (mode != 0 && mode != 1)
        throw Failure::portFailure(QStringLiteral("输入模式 %1 无效").arg(mode));
    m_inputMode = mode;
}

int CommPort::inBufferCount() const
{
    requireOpen();
    return int(m_port.bytesAvailable());
}

QByteArray CommPort::input()
{
    requireOpen();
    return m_port.readAll();
}

void CommPort::output(const QByteArray& bytes)
{
    requireOpen();
    if (bytes.isEmpty())
        return;
    if (m_port.write(bytes) != bytes.size())
        throw Failure::portFailure(QStringLiteral("发送失败：%1").arg(m_port.errorString()));
    // write() only fills Qt's buffer; without the event loop nothing would reach the device
    // before a blocking wait that follows (a turn's sleep). Push it out now.
    m_port.flush();
    if (m_port.bytesToWrite() > 0 && !m_port.waitForBytesWritten(int(kOutputTimeout.count())))
        throw Failure::portFailure(QStringLiteral("发送超时：%1").arg(m_port.errorString()));
    requireOpen(); // the device may have failed, and been closed, while writing
}

QString CommPort::deviceName() const
{
    return deviceForPort(m_portNumber);
}

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
    if (m_closingOnError)
        return;
    // A vanished device keeps raising this error in a tight loop while Qt still calls the
    // port open. Close it here, once, and let the window say so.
    m_closingOnError = true;
    const QString reason = m_port.errorString();
    m_port.close();
    m_port.clearError();
    m_closingOnError = false;
    emit disconnected(reason);
}

} // namespace smartcar
