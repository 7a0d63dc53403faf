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
    explicit InstrumentPanel(QObject* parent);

    // Writes the row at once while recording, and lists it within kListDelay. A row the file
    // cannot take ends the recording (recordingFailed); the list goes on.
    void note(TrafficRow row);

    TrafficLog* log() { return &m_log; }
    CsvRecorder& recorder() { return m_recorder; }

signals:
    void recordingFailed();

private:
    // Rows reach the list in batches: an open list redraws a few times a second, not once for
    // every frame and every poll tick.
    static constexpr int kListDelayMs = 500;
    static constexpr size_t kListBatchRows = 256;
    TrafficLog m_log;
    CsvRecorder m_recorder;
    std::vector<TrafficRow> m_pending;
    QTimer m_listTimer;
};

} // namespace smartcar
