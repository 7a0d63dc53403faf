#pragma once

namespace smartcar {

// The resident memory of this process in MiB; 0 where /proc cannot tell.
double residentMiB();

} // namespace smartcar
