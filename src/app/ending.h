#pragma once

namespace smartcar {

class EndingSignals;
class Form1;

// Makes an ending signal from `ending` end the program the way the end button does: port closed,
// code 0. Once the main window has gone (Exit with a reference window still open) its port is
// closed already and only the program is left to end.
void endOnSignals(const EndingSignals& ending, Form1* window);

} // namespace smartcar
