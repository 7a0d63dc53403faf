#include "monitor/poll.h"
