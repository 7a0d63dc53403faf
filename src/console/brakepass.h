#pragma once

class QEvent;
class QObject;
class QWidget;

// The brake gets past everything that holds the console still, a box or a turn: Esc in any
// window (which the driving keys turn into the brake) and the mouse on a control kept
// reachable (the brake button).

namespace smartcar {

// What the operator does: keys, the mouse, the wheel, touch, drops, shortcuts, a close box.
bool isOperatorInput(const QEvent* event);
// Esc pressed or let go, or the mouse on an enabled control kept reachable.
bool isBrakeInput(const QObject* receiver, const QEvent* event);
// Lets the mouse reach `control` while the console is held (the brake button).
void keepReachable(QWidget* control);

} // namespace smartcar
