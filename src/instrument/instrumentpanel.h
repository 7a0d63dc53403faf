#pragma once

#include "instrument/csvrecorder.h"
#include "instrument/traffic.h"

#include <QObject>
#include <QTimer>

namespace smartcar {

// What 功能预留区 keeps of the traffic on the line: every row since start, for the list, and
// the recording. Owned by the main window, it lives as long as the window does; a recording
// still running then ends with it, every row already in its file.
class InstrumentPanel : public QObject
{
    Q_OBJECT
public:
    InstrumentPanel(const RecordingDisk& disk, QObject* parent);

    // Hands the row to the recording while one runs, and lists it within kListDelay (at once
    // while no list shows the log). A recording that fails or stalls ends (recordingFailed,
    // once); the list goes on.
    void note(TrafficRow row);
    // Whether a list shows the log now: only then are rows worth batching.
    void setListShown(bool shown);

    // A new recording in `folder`; false (and the recorder's error says why) when none starts.
    bool startRecording(const QString& folder, const QDateTime& now);
    void stopRecording();

    TrafficLog* log() { return &m_log; }
    const CsvRecorder& recorder() const { return m_recorder; }

signals:
    void recordingFailed();

private:
    // Rows reach the list in batches: an open list redraws a few times a second, not once for
    // every frame and every poll tick.
    static constexpr int kListDelayMs = 500;
    static constexpr size_t kListBatchRows = 256;
    // How often a running recording is looked at: a stalled disk is noticed even while no row
    // comes.
    static constexpr int kRecordingWatchMs = 500;
    void watchRecording();
    TrafficLog m_log;
    CsvRecorder m_recorder;
    std::vector<TrafficRow> m_pending;
    QTimer m_listTimer;
    QTimer m_recordingWatch;
    bool m_listShown = false;
};

} // namespace smartcar
