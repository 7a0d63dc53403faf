#include "console/portbox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace smartcar {

PortBox::PortBox(QWidget* parent)
    : QComboBox(parent)
{
    // Setting an entry's text leaves the line edit's cursor at its end, which scrolls a text
    // longer than the narrow box to its tail ("I3(USB)"). Show the start instead. The text is
    // already in place when the index change is announced.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && lineEdit())
            lineEdit()->setCursorPosition(0);
    });
}

void PortBox::showPopup()
{
    if (beforeShowing)
        beforeShowing();
    QAbstractItemView* list = view();
    int width = list->sizeHintForColumn(0) + 2 * list->frameWidth();
    if (count() > maxVisibleItems())
        width += list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setMinimumWidth(width);
    QComboBox::showPopup();
}

bool PortBox::event(QEvent* event)
{
    // Hovering the text part asks the line edit first; it has no tooltip of its own and passes
    // the request up to here.
    if (event->type() == QEvent::ToolTip && beforeShowing)
        beforeShowing();
    return QComboBox::event(event);
}

void PortBox::wheelEvent(QWheelEvent* event)
{
    // The line edit passes its wheel events up to here too, so this covers the whole box.
    // The open list is a window of its own and still scrolls.
    event->ignore();
}

} // namespace smartcar
