#pragma once

#include <QDateTime>

#include <functional>

namespace smartcar {

// The time of day as the console shows and records it: the machine's clock, or a test's.
using WallClock = std::function<QDateTime()>;

} // namespace smartcar
