#include "instrument/instrumentpanel.h"

namespace smartcar {

InstrumentPanel::InstrumentPanel(const RecordingDisk& disk, QObject* parent)
    : QObject(parent)
    , m_log(TrafficLog::kDefaultCapacity, this)
    , m_recorder(disk)
{
    m_listTimer.setSingleShot(true);
    m_listTimer.setInterval(kListDelayMs);
    connect(&m_listTimer, &QTimer::timeout, this, [this] { m_log.take(m_pending); });
    m_recordingWatch.setInterval(kRecordingWatchMs);
    connect(&m_recordingWatch, &QTimer::timeout, this, &InstrumentPanel::watchRecording);
}

void InstrumentPanel::setListShown(bool shown)
{
    m_listShown = shown;
    if (!shown) {
        m_listTimer.stop();
        m_log.take(m_pending);
    }
}

bool InstrumentPanel::startRecording(const QString& folder, const QDateTime& now)
{
    if (!m_recorder.start(folder, now))
        return false;
    m_recordingWatch.start();
    return true;
}

void InstrumentPanel::stopRecording()
{
    m_recordingWatch.stop();
    m_recorder.stop();
}

void InstrumentPanel::watchRecording()
{
    if (!m_recorder.check()) {
        m_recordingWatch.stop();
        emit recordingFailed();
    }
}

void InstrumentPanel::note(TrafficRow row)
{
    if (m_recorder.isRecording() && !m_recorder.append(row)) {
        m_recordingWatch.stop();
        emit recordingFailed();
    }
    m_pending.push_back(std::move(row));
    // A burst (a key held down, a flood on the line) is listed in pieces, so the batch stays
    // small. With no list to redraw, a row costs no more alone than in a batch.
    if (!m_listShown || m_pending.size() >= kListBatchRows) {
        m_listTimer.stop();
        m_log.take(m_pending);
    } else if (!m_listTimer.isActive()) {
        m_listTimer.start();
    }
}

} // namespace smartcar
