#pragma once

#include <QByteArray>
#include <QString>

namespace smartcar::sim {

// The car's end of the serial line: either a fresh pseudo-terminal whose other end the console
// opens, or an existing serial device. Non-blocking; reads and writes never wait.
class Line
{
public:
    Line() = default;
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // A raw pseudo-terminal pair. The slave end stays open here as well, so the console may
    // close and reopen it without this end ever seeing a hang-up.
    bool openPseudoTerminal(QString* error);
    // An existing serial device, set to 9600 baud, 8 data bits, no parity, 1 stop bit, raw.
    bool openDevice(const QString& path, QString* error);

    int descriptor() const { return m_fd; }
    // What the console opens.
    QString devicePath() const { return m_path; }

    // What has come in; empty when nothing waits. Sets *gone when the line has failed for good.
    QByteArray readAvailable(bool* gone);
    // One reading. Returns false when it could not go out now (it is then dropped).
    bool send(quint8 byte);

private:
    // A pseudo-terminal keeps what nobody reads. Readings pile up while the console has the
    // port closed, and a reopened port would first read a heap of old speeds; a real line
    // loses what is sent while nobody listens. So once readings have gone untaken for a
    // while, the backlog is dropped.
    void dropStaleReadings();

    int m_fd = -1;
    int m_slave = -1; // the pseudo-terminal only
    QString m_path;
};

// The most readings that wait on a pseudo-terminal for the console before they are dropped;
// at the default period this is five seconds of readings, longer than the console's own
// blocking waits usually are.
constexpr int kMaxUntakenReadings = 25;

// A symbolic link at `linkPath` to `target`. A symbolic link already there is replaced (a
// simulator that ended without cleaning up leaves one behind); anything else is refused.
bool makeLink(const QString& linkPath, const QString& target, QString* error);
// Removes the link only while it still points at `target`: another simulator may have taken
// the name over meanwhile.
void removeLink(const QString& linkPath, const QString& target);

} // namespace smartcar::sim
