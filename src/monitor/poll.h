#pragma once

// What one poll tick makes of the bytes it read.

namespace smartcar {
} // namespace smartcar
