#pragma once

#include "instrument/traffic.h"

#include <QObject>
#include <QPointer>

class QPushButton;

namespace smartcar {

class SpeedTrend;

// The parts of 功能预留区 the main window keeps: the speed trend, the traffic since start and
// the window that lists it. Owned by the main window, they live as long as it does.
class Instrument : public QObject
{
    Q_OBJECT
public:
    explicit Instrument(QObject* parent)
        : QObject(parent)
        , log(TrafficLog::kDefaultCapacity, this)
    {
    }

    void note(TrafficRow row) { log.append(std::move(row)); }

    SpeedTrend* Trend = nullptr;
    QPushButton* cmdTraffic = nullptr;
    TrafficLog log;
    QPointer<QWidget> trafficWindow;
};

} // namespace smartcar
