#pragma once

#include <QString>
#include <QStringList>

namespace smartcar {

// The twenty entries of the port list, index i standing for port number i + 1. The "(USB)"
// in two of them is only a label.
QStringList portListTexts();

// Only the first seventeen entries (COM1 to COM17) may be opened.
bool isOpenableIndex(int index);

// The host device behind a port number. On Windows "COMn" itself; elsewhere the environment
// variable SMARTCAR_COM<n> when it is set and not empty, otherwise /dev/ttyS<n-1>.
QString deviceForPort(int portNumber);

} // namespace smartcar
