// The reference windows reached from the menu.
#include "console/form1.h"

#include "console/form2.h"
#include "console/form3.h"
#include "console/form4.h"

namespace smartcar {

namespace {

// Fronts the window when it is open, otherwise builds it afresh. It is shown without an owner,
// so the main window and the other windows stay usable and it outlives the main window.
template <typename W>
void showReference(QPointer<QWidget>& window)
{
    // Closing only schedules the deletion. When a close and this choice are handled in the same
    // pass of the event loop (both queued up behind a blocking turn), the window is still here
    // but hidden and about to go; showing it would let it vanish right after. Release it now.
    if (window && !window->isVisible())
        delete window.data();
    if (!window)
        window = new W;
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void Form1::user_Click()
{
    showReference<Form2>(m_form2);
}

void Form1::tech_Click()
{
    showReference<Form3>(m_form3);
}

void Form1::commlist_Click()
{
    showReference<Form4>(m_form4);
}

} // namespace smartcar
