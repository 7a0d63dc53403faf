#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace smartcar {

// Line parameters in the classic "baud,parity,data,stop" text, e.g. "9600,n,8,1".
struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Parity is one of n, e, o, m, s (either case); data bits 5 to 8; stop bits 1, 1.5 or 2.
// Blanks around each field are allowed. Anything else gives no settings.
std::optional<LineSettings> parseLineSettings(const QString& text);

} // namespace smartcar
