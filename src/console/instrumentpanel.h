#pragma once

#include "instrument/csvrecorder.h"
#include "instrument/traffic.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QPushButton;

namespace smartcar {

class SpeedTrend;

// The parts of 功能预留区 the main window keeps: the speed trend, the traffic since start, the
// window that lists it and the recording. Owned by the main window, they live as long as it
// does; a recording still running then ends with it, every row already in its file.
class InstrumentPanel : public QObject
{
    Q_OBJECT
public:
    explicit InstrumentPanel(QObject* parent);

    // Writes the row at once while recording, and lists it within kListDelay. A row the file
    // cannot take ends the recording (recordingFailed); the list goes on.
    void note(TrafficRow row);

signals:
    void recordingFailed();

public:
    SpeedTrend* Trend = nullptr;
    QPushButton* cmdTraffic = nullptr;
    TrafficLog log;
    QPointer<QWidget> trafficWindow;
    QPushButton* cmdRecord = nullptr;
    CsvRecorder recorder;

private:
    // Rows reach the list in batches: an open list redraws a few times a second, not once for
    // every frame and every poll tick.
    static constexpr int kListDelayMs = 500;
    static constexpr size_t kListBatchRows = 256;
    std::vector<TrafficRow> m_pending;
    QTimer m_listTimer;
};

} // namespace smartcar
