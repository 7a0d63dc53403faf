#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace smartcar {

// The twenty entries of the port list, index i standing for port number i + 1. The "(USB)"
// in two of them is only a label.
QStringList portListTexts();

// Only the first seventeen entries (COM1 to COM17) may be opened.
bool isOpenableIndex(int index);

// The names in `directory` that are serial adapters or Bluetooth serial links: ttyUSB<k>,
// ttyACM<k> and rfcomm<k>. Any kind of node counts, a symbolic link too (even one whose
// target is gone: it is there, and opening it will say what is wrong).
QStringList presentSerialDevices(const QString& directory);

// SMARTCAR_COM<n> for the listed entries, where set and not empty, read from the environment.
QMap<int, QString> portOverrides();

// Which device each listed entry stands for; element i is port number i + 1.
//  - an entry with an override gets the override;
//  - COM1 and COM2 are the on-board ports ttyS0 and ttyS1;
//  - COM3 and COM4 take the first two adapters present, ttyUSB before ttyACM, each by number;
//  - COM5 upward take the further adapters, then the rfcomm links, each by number;
//  - COM3 and COM4 with no adapter left for them stand for no device: an empty text, never
//    an on-board port the operator did not choose;
//  - any other entry no device falls to keeps ttyS<n-1>.
// A device an override names is not handed to another entry as well. Pure: `present` holds
// names inside `directory`, as presentSerialDevices gives them.
QStringList assignPortDevices(const QString& directory, const QStringList& present,
                              const QMap<int, QString>& overrides);

// Which device each port number stands for on a machine: the serial devices found in a
// folder, and the devices the operator named with SMARTCAR_COM<n>. The console looks up the
// machine's own; a test hands it one of its own, so that nothing the test does depends on or
// reaches what is plugged into the machine.
class PortMap
{
public:
    // "/dev" and SMARTCAR_COM<n> as they are set now (the environment does not change while
    // the program runs).
    static PortMap ofSystem();

    explicit PortMap(QString deviceDirectory, QMap<int, QString> overrides = {});

    // Where serial device nodes are looked for.
    const QString& deviceDirectory() const { return m_directory; }
    // `device` in place of what port `portNumber` would stand for.
    void setOverride(int portNumber, const QString& device);

    // The host device behind a port number, looked up now. On Windows "COMn" itself;
    // elsewhere by assignPortDevices over the folder, what is present there and the
    // overrides, so empty for a USB entry with no adapter.
    QString deviceForPort(int portNumber) const;

    // One tooltip per listed entry: the device path and, when Qt's port list knows it, the
    // device's description ("/dev/ttyUSB0 · USB2.0-Serial"), or the path followed by
    // "（未发现设备）" when nothing is there, or "未发现 USB 串口适配器" for a USB entry with no
    // adapter.
    QStringList toolTips() const;

private:
    QString m_directory;
    QMap<int, QString> m_overrides;
};

} // namespace smartcar
