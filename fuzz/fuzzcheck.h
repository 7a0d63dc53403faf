#pragma once

#include <cstdlib>

// A broken invariant ends the run at once, so libFuzzer keeps the input that broke it.
inline void require(bool ok)
{
    if (!ok)
        std::abort();
}
