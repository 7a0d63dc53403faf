#pragma once
// 串口数据对照表: the byte table window.

#include "console/windows/referencewindow.h"

namespace smartcar {

// The byte table for the raw command field: characters beside the decimal value of the byte
// that stands for each on the serial line. It has no button; its close box closes it.
//
// Each entry is a pair of labels named after the byte value: "char48" shows "0" and
// "byte48" shows "48".
class Form4 : public ReferenceWindow
{
    Q_OBJECT
public:
    Form4();
};

} // namespace smartcar
