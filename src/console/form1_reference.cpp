// The reference windows reached from the menu.
#include "console/form1.h"

namespace smartcar {

void Form1::user_Click() {}
void Form1::tech_Click() {}
void Form1::commlist_Click() {}

} // namespace smartcar
