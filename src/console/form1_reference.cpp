// The reference windows reached from the menu.
#include "console/form1.h"

#include "console/windows/form2.h"
#include "console/windows/form3.h"
#include "console/windows/form4.h"

namespace smartcar {

void Form1::showWindow(QPointer<QWidget>& window, const std::function<QWidget*()>& make)
{
    // Closing only schedules the deletion. When a close and this choice are handled in the same
    // pass of the event loop (both queued up behind a blocking turn), the window is still here
    // but hidden and about to go; showing it would let it vanish right after. Release it now.
    if (window && !window->isVisible())
        delete window.data();
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
}

// A reference window is shown without an owner, so the main window and the other windows stay
// usable and it outlives the main window.
void Form1::user_Click()
{
    showWindow(m_form2, [] { return new Form2; });
}

void Form1::tech_Click()
{
    showWindow(m_form3, [] { return new Form3; });
}

void Form1::commlist_Click()
{
    showWindow(m_form4, [] { return new Form4; });
}

} // namespace smartcar
