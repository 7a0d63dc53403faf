#pragma once

#include "sim/carmodel.h"
#include "sim/framedecoder.h"
#include "sim/line.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace smartcar::sim {

// The running car: decodes what the console sends, logs one line per frame on standard
// output, and sends the wheel speed every period.
class Simulator : public QObject
{
    Q_OBJECT
public:
    Simulator(std::unique_ptr<Line> line, std::chrono::milliseconds period);

    // A recording's readings (the bytes of its 接收 rows, at their offsets) instead of the
    // model's, from now on; with `loop`, again from the start after the last.
    struct Reading
    {
        qint64 offsetMs;
        QByteArray bytes;
    };
    void playBack(QList<Reading> readings, bool loop);

    // Logs a speed code still waiting for its speed byte; called once at the end.
    void finish();

signals:
    // The line failed for good (a serial device was unplugged).
    void lineGone(const QString& why);

private:
    void onReadable();
    void sendReading();
    void sendRecorded();
    CarModel::Time now() const;

    std::unique_ptr<Line> m_line;
    QSocketNotifier m_readable;
    QTimer m_period;
    QElapsedTimer m_clock;
    FrameDecoder m_decoder;
    CarModel m_car;
    QList<Reading> m_recorded;
    qsizetype m_nextRecorded = 0;
    bool m_loop = false;
    QElapsedTimer m_playClock;
    QTimer m_recordedDue;
};

// Writes one line to standard output at once: the log is read through pipes, where output
// would otherwise sit in a buffer.
void printLine(const QString& line);

} // namespace smartcar::sim
