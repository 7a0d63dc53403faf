#include "console/widgets/portbox.h"

#include "serial/commport.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

namespace smartcar {

// The text part. It tells the box when an event of its own is being handled, so that the box
// can tell an entry Qt selects from the typed text apart from one picked in the list.
class PortBox::Text : public QLineEdit
{
public:
    explicit Text(PortBox* box)
        : QLineEdit(box)
        , m_box(box)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const auto scope = enter();
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        const auto scope = enter();
        QLineEdit::focusOutEvent(event);
    }

private:
    QScopedValueRollback<bool> enter()
    {
        m_box->m_textBefore = {text(), cursorPosition()};
        return QScopedValueRollback<bool>(m_box->m_inText, true);
    }

    PortBox* m_box;
};

PortBox::PortBox(QWidget* parent)
    : QComboBox(parent)
{
    setLineEdit(new Text(this));
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    connect(this, &QComboBox::activated, this, &PortBox::onActivated);
    connect(this, &QComboBox::currentIndexChanged, this, &PortBox::updateToolTip);
    connect(lineEdit(), &QLineEdit::textEdited, this, &PortBox::onTextEdited);
    // Setting an entry's text leaves the line edit's cursor at its end, which scrolls a text
    // longer than the narrow box to its tail ("I3(USB)"). Show the start instead. The text is
    // already in place when the index change is announced.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && lineEdit())
            lineEdit()->setCursorPosition(0);
    });
}

void PortBox::onActivated(int index)
{
    if (!m_inText) {
        emit picked(index);
        return;
    }
    // Qt finished the typed text by selecting the entry it matches. Typing is no pick: put
    // the text back as the operator left it, with no entry selected.
    setCurrentIndex(-1);
    setEditText(m_textBefore.text);
    lineEdit()->setCursorPosition(m_textBefore.cursor);
}

void PortBox::setPorts(const QStringList& texts)
{
    clear();
    addItems(texts);
    refreshToolTips();
}

void PortBox::onTextEdited(const QString& text)
{
    // Typed text leaves no entry selected. Clearing the index clears the text as well, so
    // put the operator's text back where it was.
    if (currentIndex() == -1)
        return;
    QLineEdit* edit = lineEdit();
    const int cursor = edit->cursorPosition();
    const QSignalBlocker block(this);
    setCurrentIndex(-1);
    setEditText(text);
    edit->setCursorPosition(cursor);
    updateToolTip();
}

void PortBox::refreshToolTips()
{
    // One look at the devices for every entry, so the list and the box never disagree.
    const QStringList tips = m_port ? m_port->portMap().toolTips() : QStringList();
    for (int i = 0; i < tips.size() && i < count(); ++i)
        setItemData(i, tips.at(i), Qt::ToolTipRole);
    updateToolTip();
}

void PortBox::updateToolTip()
{
    // Only copies the entry's text: asking the system about its ports takes tens of
    // milliseconds, too long for every change of entry, and the box looks again anyway
    // before its tooltip is shown.
    const int index = currentIndex();
    setToolTip(index < 0 ? QString() : itemData(index, Qt::ToolTipRole).toString());
}

void PortBox::showPopup()
{
    refreshToolTips();
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
    if (event->type() == QEvent::ToolTip)
        refreshToolTips();
    return QComboBox::event(event);
}

void PortBox::keyPressEvent(QKeyEvent* event)
{
    // With the list closed, Qt walks the entries on the arrow and page keys (Alt+Up too) and
    // reports each step as a pick; one stray key would close the open port. The keys are kept
    // here, so they reach neither the entries nor the driving keys of the window. Home and End
    // still move the cursor in the text; Alt+Down and F4 still open the list, where an entry
    // is picked on purpose.
    const bool opens = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (!opens && !view()->isVisible()) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QComboBox::keyPressEvent(event);
}

void PortBox::wheelEvent(QWheelEvent* event)
{
    // The line edit passes its wheel events up to here too, so this covers the whole box.
    // The open list is a window of its own and still scrolls.
    event->ignore();
}

} // namespace smartcar
