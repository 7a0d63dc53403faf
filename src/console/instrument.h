#pragma once

#include "instrument/csvrecorder.h"
#include "instrument/traffic.h"

#include <QObject>
#include <QPointer>

class QPushButton;

namespace smartcar {

class SpeedTrend;

// The parts of 功能预留区 the main window keeps: the speed trend, the traffic since start, the
// window that lists it and the recording. Owned by the main window, they live as long as it
// does; a recording still running then ends with it, every row already in its file.
class Instrument : public QObject
{
    Q_OBJECT
public:
    explicit Instrument(QObject* parent)
        : QObject(parent)
        , log(TrafficLog::kDefaultCapacity, this)
    {
    }

    // Lists the row and, while recording, writes it. A row the file cannot take ends the
    // recording at once (recordingFailed); the list goes on.
    void note(TrafficRow row)
    {
        if (recorder.isRecording() && !recorder.append(row))
            emit recordingFailed();
        log.append(std::move(row));
    }

signals:
    void recordingFailed();

public:
    SpeedTrend* Trend = nullptr;
    QPushButton* cmdTraffic = nullptr;
    TrafficLog log;
    QPointer<QWidget> trafficWindow;
    QPushButton* cmdRecord = nullptr;
    CsvRecorder recorder;
};

} // namespace smartcar
