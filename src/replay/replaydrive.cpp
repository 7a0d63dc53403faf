#include "replay/replaydrive.h"

namespace smartcar {

namespace {
// How the turn state stands after `bytes`, read as the car reads them: the byte after a
// speed code is its speed byte, whatever it looks like.
std::optional<CarCode> turnAfter(const QByteArray& bytes, std::optional<CarCode> open)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const std::optional<CarCode> code = carCodeOf(quint8(bytes.at(i)));
        if (!code)
            continue;
        switch (*code) {
        case CarCode::Advance:
        case CarCode::Retreat:
        case CarCode::HotStart:
            ++i;
            break;
        case CarCode::TurnLeft:
            open = CarCode::CentreAfterLeft;
            break;
        case CarCode::TurnRight:
            open = CarCode::CentreAfterRight;
            break;
        case CarCode::CentreAfterLeft:
        case CarCode::CentreAfterRight:
            open.reset();
            break;
        default:
            break;
        }
    }
    return open;
}
} // namespace

ReplayDrive::ReplayDrive(QObject* parent)
    : QObject(parent)
{
    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    connect(&m_due, &QTimer::timeout, this, &ReplayDrive::sendDue);
}

QList<ReplayDrive::Frame> ReplayDrive::framesOf(const Recording& recording)
{
    QList<Frame> frames;
    for (const RecordedRow& row : recording.rows) {
        if (row.problem.isEmpty() && row.sent && !row.failed && !row.bytes.isEmpty())
            frames << Frame{row.offsetMs, row.bytes};
    }
    return frames;
}

void ReplayDrive::start(const QList<Frame>& frames, qint64 fromMs, Send send)
{
    m_frames = frames;
    m_fromMs = fromMs;
    m_send = std::move(send);
    m_next = 0;
    while (m_next < m_frames.size() && m_frames[m_next].offsetMs < fromMs)
        ++m_next;
    m_openTurn.reset();
    m_running = true;
    m_clock.start();
    sendDue();
}

qint64 ReplayDrive::positionMs() const
{
    return m_running ? m_fromMs + m_clock.elapsed() : m_fromMs;
}

ReplayDrive::Stop ReplayDrive::stop()
{
    if (m_running)
        m_fromMs = positionMs();
    m_running = false;
    m_due.stop();
    Stop stop{m_openTurn};
    m_openTurn.reset();
    return stop;
}

void ReplayDrive::sendDue()
{
    // A frame goes out once its time has come, never before it: the timer may wake a little
    // early, and is then set again for what is left.
    while (m_running && m_next < m_frames.size()) {
        const Frame& frame = m_frames[m_next];
        const qint64 dueNs = (frame.offsetMs - m_fromMs) * 1000000;
        const qint64 leftNs = dueNs - m_clock.nsecsElapsed();
        if (leftNs > 0) {
            m_due.start(int(qMax<qint64>(leftNs / 1000000, 0)));
            return;
        }
        QString why;
        const QByteArray bytes = frame.bytes;
        const qint64 offset = frame.offsetMs;
        ++m_next;
        if (!m_send(bytes, &why)) {
            m_running = false;
            emit failed(why);
            return;
        }
        m_openTurn = turnAfter(bytes, m_openTurn);
        emit played(offset);
    }
    if (m_running) {
        m_running = false;
        m_fromMs = m_frames.isEmpty() ? m_fromMs : m_frames.last().offsetMs;
        emit finished();
    }
}

} // namespace smartcar
