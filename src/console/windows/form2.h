#pragma once
// 使用说明: the usage notes window.

#include "console/windows/referencewindow.h"

namespace smartcar {

// The usage notes: six numbered paragraphs and a button that closes the window.
class Form2 : public ReferenceWindow
{
    Q_OBJECT
public:
    Form2();

    void Command1_Click();
};

} // namespace smartcar
