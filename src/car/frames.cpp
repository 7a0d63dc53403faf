#include "car/frames.h"
