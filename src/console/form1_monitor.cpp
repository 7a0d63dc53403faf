// Speed monitoring: the receive poll and the alarm lamp.
#include "console/form1.h"

namespace smartcar {

void Form1::cmdStart_Click() {}
void Form1::Timer1_Timer() {}

} // namespace smartcar
