#pragma once

#include <QComboBox>

namespace smartcar {

class CommPort;

// The port drop-down. Adapters come and go while the console runs, so what the entries stand
// for is looked at again whenever the operator is about to read it: as the list drops down
// and as a tooltip is asked for; each entry's tooltip names the device behind it. The box itself
// keeps its fixed size; the list is made as wide as its longest entry, and a chosen entry shows
// from its start. Neither the mouse wheel nor a key changes the entry while the list is closed: a
// notch or an arrow key would pick the next port, and picking a port closes the open one while the
// car keeps driving. The list, once opened (a click, Alt+Down, F4), is where a port is picked;
// `picked` reports only that. Typed text selects no entry, not even one it matches.
class PortBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PortBox(QWidget* parent = nullptr);

    // The port whose devices the entries stand for; until it is set, entries have no tooltips.
    void setPort(const CommPort* port) { m_port = port; }
    // Puts these entries in place of the old ones, with their tooltips.
    void setPorts(const QStringList& texts);

    void showPopup() override;

signals:
    // An entry chosen on purpose; the window's change step follows it.
    void picked(int index);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // What the text part held as it began to handle a key or the focus leaving.
    struct TextState
    {
        QString text;
        int cursor = 0;
    };
    class Text;

    void onActivated(int index);
    void onTextEdited(const QString& text);
    // Looks at the devices and sets every entry's tooltip, then the box's.
    void refreshToolTips();
    void updateToolTip();

    const CommPort* m_port = nullptr;
    // Set while the text part handles an event: Qt finishes typed text there (Return, focus
    // leaving, the list opening) by selecting the entry it matches and calling that activated.
    bool m_inText = false;
    TextState m_textBefore;
};

} // namespace smartcar
