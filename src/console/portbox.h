#pragma once

#include <QComboBox>

#include <functional>

namespace smartcar {

// The port drop-down. Adapters come and go while the console runs, so what the entries stand
// for is looked at again whenever the operator is about to read it: as the list drops down
// and as a tooltip is asked for (`beforeShowing`). The box itself keeps its fixed size; the
// list is made as wide as its longest entry, and a chosen entry shows from its start.
// Neither the mouse wheel nor a key changes the entry while the list is closed: a notch or an
// arrow key would pick the next port, and picking a port closes the open one while the car
// keeps driving. The list, once opened (a click, Alt+Down, F4), is where a port is picked.
class PortBox : public QComboBox
{
public:
    explicit PortBox(QWidget* parent = nullptr);

    std::function<void()> beforeShowing;

    void showPopup() override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace smartcar
