#pragma once

// Reading and writing the numbers the operator types.

namespace smartcar {
} // namespace smartcar
