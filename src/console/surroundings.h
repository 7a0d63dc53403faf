#pragma once

#include "common/wallclock.h"
#include "instrument/csvrecorder.h"
#include "serial/openfailure.h"
#include "serial/portmap.h"

#include <QStringList>

namespace smartcar {

// What the console takes from the machine it runs on. The machine's own by default; a test
// hands the window its own, so that nothing the test does depends on or reaches the machine's
// devices, other programs' locks or the time of day.
struct Surroundings
{
    // Which device each port number stands for.
    PortMap ports = PortMap::ofSystem();
    // Where other programs leave their lock files.
    QStringList lockDirectories = systemLockDirectories();
    // For the status bar's date and time, the traffic list and the recording.
    WallClock now = &QDateTime::currentDateTime;
    // The disk recordings are written to.
    RecordingDisk recordingDisk;
};

} // namespace smartcar
