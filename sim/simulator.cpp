#include "sim/simulator.h"

#include <cstdio>

namespace smartcar::sim {

void printLine(const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

Simulator::Simulator(std::unique_ptr<Line> line, std::chrono::milliseconds period)
    : m_line(std::move(line))
    , m_readable(m_line->descriptor(), QSocketNotifier::Read)
{
    m_clock.start();
    connect(&m_readable, &QSocketNotifier::activated, this, &Simulator::onReadable);
    m_period.setTimerType(Qt::PreciseTimer);
    m_period.setInterval(period);
    connect(&m_period, &QTimer::timeout, this, &Simulator::sendReading);
    m_period.start();
}

CarModel::Time Simulator::now() const
{
    return CarModel::Time{m_clock.elapsed()};
}

void Simulator::onReadable()
{
    bool gone = false;
    const QByteArray bytes = m_line->readAvailable(&gone);
    const QTime at = QTime::currentTime();
    for (const Frame& frame : m_decoder.feed(bytes)) {
        m_car.apply(frame, now());
        printLine(logLine(at, frame, m_car));
    }
    if (gone) {
        // A hung-up descriptor stays readable; without this the notifier would spin.
        m_readable.setEnabled(false);
        m_period.stop();
        emit lineGone(QStringLiteral("%1: the line has gone").arg(m_line->devicePath()));
    }
}

void Simulator::sendReading()
{
    m_line->send(m_car.wheelRpm(now()));
}

void Simulator::playBack(QList<Reading> readings, bool loop)
{
    m_period.stop();
    m_recorded = std::move(readings);
    m_loop = loop;
    m_nextRecorded = 0;
    m_recordedDue.setSingleShot(true);
    m_recordedDue.setTimerType(Qt::PreciseTimer);
    connect(&m_recordedDue, &QTimer::timeout, this, &Simulator::sendRecorded);
    m_playClock.start();
    sendRecorded();
}

void Simulator::sendRecorded()
{
    while (!m_recorded.isEmpty()) {
        if (m_nextRecorded == m_recorded.size()) {
            if (!m_loop)
                return;
            m_nextRecorded = 0; // the run again, from its first reading on
            m_playClock.start();
        }
        const Reading& reading = m_recorded[m_nextRecorded];
        const qint64 left = reading.offsetMs - m_recorded.first().offsetMs - m_playClock.elapsed();
        if (left > 0) {
            m_recordedDue.start(int(left));
            return;
        }
        for (const char byte : reading.bytes)
            m_line->send(quint8(byte));
        ++m_nextRecorded;
    }
}

void Simulator::finish()
{
    if (!m_decoder.hasPending())
        return;
    const QByteArray code(1, char(m_decoder.pendingCode()));
    printLine(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ")
              + hexText(code).leftJustified(5)
              + QStringLiteral("  speed code without its speed byte (the line ended first)"));
}

} // namespace smartcar::sim
