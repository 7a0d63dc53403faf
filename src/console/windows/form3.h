#pragma once
// 技术支持: the technical-support window.

#include "console/windows/referencewindow.h"

namespace smartcar {

// Technical support: who makes the console and where to write, and a button back.
class Form3 : public ReferenceWindow
{
    Q_OBJECT
public:
    Form3();

    void Command1_Click();
};

} // namespace smartcar
