#pragma once

#include <QWidget>

namespace smartcar {

// Base of the three windows of fixed reference text reached from the main window's menu.
// Created without a parent, such a window has no owner: it stays open when the main window
// goes and counts for the program's end like any other top-level window. It deletes itself
// when closed, so each showing builds it afresh. Esc in it brakes, as in every window of the
// console (DriveKeys), and leaves it open: a plain window never closed on Esc.
class ReferenceWindow : public QWidget
{
    Q_OBJECT
protected:
    // The client area is fixed in twips; the controls are placed absolutely inside it.
    ReferenceWindow(const char* name, const QString& caption, int clientWidth, int clientHeight);
};

} // namespace smartcar
