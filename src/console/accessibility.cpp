#include "console/accessibility.h"

#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QAccessibleTextInterface>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace smartcar {

namespace {

class ReadingInterface : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ReadingInterface(QWidget* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    QVariant currentValue() const override
    {
        const int reading = widget()->property(kReadingProperty).toInt();
        return reading < 0 ? QVariant() : QVariant(reading);
    }
    void setCurrentValue(const QVariant&) override {} // the car's, not the operator's
    QVariant maximumValue() const override { return 255; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

class AnnouncerInterface : public QAccessibleWidget
{
public:
    explicit AnnouncerInterface(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Notification)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = false;
        s.offscreen = false;
        return s;
    }
};

// A text box (the console's boxes all show their text as typed).
class TextBoxInterface : public QAccessibleWidget,
                         public QAccessibleTextInterface,
                         public QAccessibleEditableTextInterface
{
public:
    explicit TextBoxInterface(QWidget* box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {
    }

    QLineEdit* box() const { return static_cast<QLineEdit*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        QString s = t == QAccessible::Value ? box()->text() : QString();
        if (s.isEmpty())
            s = QAccessibleWidget::text(t);
        if (s.isEmpty() && t == QAccessible::Description)
            s = box()->placeholderText();
        return s;
    }

    void setText(QAccessible::Text t, const QString& text) override
    {
        if (t != QAccessible::Value) {
            QAccessibleWidget::setText(t, text);
            return;
        }
        if (!box()->isReadOnly() && acceptable(text))
            box()->setText(text);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.readOnly = box()->isReadOnly();
        s.selectableText = true;
        return s;
    }

    // QAccessibleTextInterface
    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index != 0 || !box()->hasSelectedText())
            return;
        *start = box()->selectionStart();
        *end = *start + box()->selectionLength();
    }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            box()->deselect();
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            box()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    QString text(int start, int end) const override
    {
        return box()->text().mid(start, end - start);
    }
    int characterCount() const override { return int(box()->text().size()); }
    QRect characterRect(int offset) const override
    {
        // Where the character starts and how wide it is, from the box's left text margin.
        const QFontMetrics fm = box()->fontMetrics();
        const QString t = box()->text();
        const QRect inside = box()->contentsRect();
        const int x = inside.left() + box()->textMargins().left() + 2
            + fm.horizontalAdvance(t.left(offset));
        const int width = offset < t.size() ? fm.horizontalAdvance(t.at(offset)) : 1;
        const QRect r(x, inside.top() + (inside.height() - fm.height()) / 2, width, fm.height());
        return QRect(box()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return box()->cursorPositionAt(box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override
    {
        box()->setCursorPosition(end);
        box()->setCursorPosition(start);
    }
    QString attributes(int, int* start, int* end) const override
    {
        // No attributes, and none anywhere: one run over the whole text.
        *start = 0;
        *end = characterCount();
        return {};
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override
    {
        return QAccessibleTextInterface::textAtOffset(offset == -2 ? cursorPosition() : offset,
                                                      boundary, start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override
    {
        return QAccessibleTextInterface::textBeforeOffset(offset == -2 ? cursorPosition() : offset,
                                                          boundary, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override
    {
        return QAccessibleTextInterface::textAfterOffset(offset == -2 ? cursorPosition() : offset,
                                                         boundary, start, end);
    }

    // QAccessibleEditableTextInterface
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override
    {
        if (box()->isReadOnly())
            return;
        const QString changed = box()->text().replace(start, end - start, text);
        if (acceptable(changed))
            box()->setText(changed);
    }

private:
    bool acceptable(QString text) const
    {
        const QValidator* validator = box()->validator();
        int position = 0;
        return !validator || validator->validate(text, position) == QValidator::Acceptable;
    }
};

QAccessibleInterface* consoleInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("QLabel") && object->property(kReadingProperty).isValid())
        return new ReadingInterface(static_cast<QWidget*>(object));
    if (className == QLatin1String("QWidget") && object->property(kAnnouncerProperty).isValid())
        return new AnnouncerInterface(static_cast<QWidget*>(object));
    if (className == QLatin1String("QLineEdit")
        && static_cast<QLineEdit*>(object)->echoMode() == QLineEdit::Normal)
        return new TextBoxInterface(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void makeAnnouncer(QWidget* widget)
{
    installAccessibleInterfaces();
    widget->setProperty(kAnnouncerProperty, true);
    widget->hide();
}

void announce(QWidget* announcer, const QString& text)
{
    announcer->setAccessibleName(text);
    QAccessibleEvent shown(announcer, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void makeReading(QLabel* label)
{
    installAccessibleInterfaces();
    label->setProperty(kReadingProperty, -1);
}

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(consoleInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace smartcar
