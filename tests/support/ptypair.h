#pragma once

// The pseudo-terminal pair lives with the simulated car's line now; this keeps the old path working.
#include <ptypair.h>
