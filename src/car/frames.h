#pragma once

// Command codes and the frames sent to the car.

namespace smartcar {
} // namespace smartcar
