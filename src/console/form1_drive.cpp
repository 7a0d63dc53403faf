// Driving the car: the frames each driving control sends.
#include "console/form1.h"

namespace smartcar {

void Form1::Advanced_Click() {}
void Form1::Retreat_Click() {}
void Form1::Start_Click() {}
void Form1::Stop_Click() {}
void Form1::Left_Click() {}
void Form1::Right_Click() {}
void Form1::Check1_Click() {}
void Form1::Send_Click() {}

} // namespace smartcar
