#include "console/instrumentpanel.h"

namespace smartcar {

InstrumentPanel::InstrumentPanel(QObject* parent)
    : QObject(parent)
    , m_log(TrafficLog::kDefaultCapacity, this)
{
    m_listTimer.setSingleShot(true);
    m_listTimer.setInterval(kListDelayMs);
    connect(&m_listTimer, &QTimer::timeout, this, [this] { m_log.take(m_pending); });
}

void InstrumentPanel::note(TrafficRow row)
{
    if (m_recorder.isRecording() && !m_recorder.append(row))
        emit recordingFailed();
    m_pending.push_back(std::move(row));
    // A burst (a key held down, a flood on the line) is listed in pieces, so the batch stays
    // small.
    if (m_pending.size() >= kListBatchRows) {
        m_listTimer.stop();
        m_log.take(m_pending);
    } else if (!m_listTimer.isActive()) {
        m_listTimer.start();
    }
}

} // namespace smartcar
