#pragma once

#include <cstdlib>

namespace smartcar {

// A broken invariant ends the run at once, so libFuzzer keeps the input that broke it.
inline void require(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace smartcar
