#pragma once

#include <QColor>

namespace smartcar {

// Colours that more than one part of the console shows, so that the parts keep matching.

// The alarm lamp lit, and a reading that lit it on the speed trend.
inline const QColor kLampGreen(0, 255, 0);
// The speed reading, the alarm speed and the button of a running recording.
inline const QColor kAlertRed(255, 0, 0);

} // namespace smartcar
