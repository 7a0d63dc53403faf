#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <limits>

namespace smartcar {

// A raw pseudo-terminal pair standing in for the car. The console opens the slave path as
// its serial device; the test reads and writes the master end. The fixture keeps its own
// slave descriptor open so the master never reads EIO when the console closes the port.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair() { vanish(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_path; }

    // Bytes the console has written so far, waiting up to `timeout` for at least `atLeast`.
    QByteArray read(int atLeast = 1,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Whatever is there right now, without waiting.
    QByteArray drain() { return read(std::numeric_limits<int>::max(), {}); }
    void write(const QByteArray& bytes);
    // As much of `bytes` as the line takes right now; the rest is lost, as on an overrun.
    qsizetype offer(const QByteArray& bytes);
    // Bytes sent to the console that it has not read from the device yet.
    int waitingAtConsole() const;

    // The car stops taking bytes by flow control (as an XOFF would): the console's output is
    // held in the line, and released again by `false`.
    void holdConsoleOutput(bool held);
    // The car stops reading and the line backs up: filler bytes are pushed into the console's
    // side of the line until it reports no room. Returns how many went in; read() gets them
    // back once the car reads again.
    qsizetype backUpConsoleOutput(char filler);

    // The car vanishes: the master end goes away (and the fixture's slave with it), so the
    // console's open slave starts failing the way a pulled adapter does.
    void vanish();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

} // namespace smartcar
