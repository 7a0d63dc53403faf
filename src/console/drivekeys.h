#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QKeyEvent;
class QPushButton;
class QWidget;

namespace smartcar {

// Driving from the keyboard: the arrow keys press the four driving buttons and Esc presses
// the brake button of one window. A key is a click on the same button, so it runs the same
// handler, sends the same frame and reports the same failures.
//
// - Esc brakes from every window of the console (the main window, the traffic list, the
//   reference windows, any box), wherever the keyboard focus is, a text box included, with
//   any of Shift, Ctrl and Alt held. Only a menu or the port box's open list keeps Esc for
//   closing itself. This is the one place Esc brakes; no other window has a rule of its own.
// - The arrows drive only while no text box, port box or the menu bar has the focus; there
//   they keep their own meaning (cursor, entry, menu).
// - A held key sends once: the keyboard's auto-repeat presses nothing, a release nothing.
// - Arrows with Ctrl, Alt, Shift or Meta are left alone, so menu access keys keep working.
// - The brake ends every press in progress, by mouse or Space: a button that was down when the
//   brake went out sends nothing when it is let go. Pressed again, it works as always.
class DriveKeys : public QObject
{
    Q_OBJECT
public:
    struct Buttons
    {
        QPushButton* up;
        QPushButton* down;
        QPushButton* left;
        QPushButton* right;
        QPushButton* brake;
    };

    // Sets up the keys for `window` (owned by it) and names each key in its button's tooltip.
    static void install(QWidget* window, const Buttons& buttons);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DriveKeys(QWidget* window, const Buttons& buttons);
    QPushButton* buttonFor(int key, QWidget* target) const;
    bool isRepeat(const QKeyEvent* key) const;
    bool brakesFrom(const QWidget* window) const;
    void brake(const QKeyEvent* key, QWidget* target);
    void endPresses();
    // Whether `event` belongs to a press the brake has ended; true to swallow it.
    bool endsWithBrake(QObject* watched, QEvent* event);

    QWidget* m_window;
    QPointer<QPushButton> m_up;
    QPointer<QPushButton> m_down;
    QPointer<QPushButton> m_left;
    QPointer<QPushButton> m_right;
    QPointer<QPushButton> m_brake;
    // Buttons that were down when the brake went out, until their press is over.
    QList<QPointer<QAbstractButton>> m_ended;
    // The last key let go in any window, and when.
    int m_releasedKey = 0;
    quint64 m_releasedAt = 0;
};

} // namespace smartcar
