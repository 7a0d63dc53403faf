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

    // Logs a speed code still waiting for its speed byte; called once at the end.
    void finish();

signals:
    // The line failed for good (a serial device was unplugged).
    void lineGone(const QString& why);

private:
    void onReadable();
    void sendReading();
    CarModel::Time now() const;

    std::unique_ptr<Line> m_line;
    QSocketNotifier m_readable;
    QTimer m_period;
    QElapsedTimer m_clock;
    FrameDecoder m_decoder;
    CarModel m_car;
};

// Writes one line to standard output at once: the log is read through pipes, where output
// would otherwise sit in a buffer.
void printLine(const QString& line);

} // namespace smartcar::sim
