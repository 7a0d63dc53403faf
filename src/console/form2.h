#pragma once

#include "console/referencewindow.h"

namespace smartcar {

// The usage notes: six numbered paragraphs and a button that closes the window.
class Form2 : public ReferenceWindow
{
    Q_OBJECT
public:
    Form2();

    void Command1_Click();

private:
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* Command1 = nullptr;
};

} // namespace smartcar
