#include "console/drivekeys.h"

#include "console/brakepass.h"
#include "console/errorreport.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace smartcar {

namespace {

// Widgets that use the arrow keys themselves: a text box moves its cursor, the port box keeps
// them (so that a key meant for it never drives), and the menu bar, once Alt has put it in charge
// of the keyboard, walks its menus.
bool keepsArrows(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w)
        || qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QTextEdit*>(w)
        || qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QMenuBar*>(w);
}

} // namespace

void DriveKeys::install(QWidget* window, const Buttons& buttons)
{
    auto* keys = new DriveKeys(window, buttons);
    // Buttons, check boxes and the rest take the arrow keys for moving the focus before the
    // window ever sees them, so the keys are caught on their way into the application. The
    // filter goes with the window.
    QCoreApplication::instance()->installEventFilter(keys);
    keepReachable(buttons.brake);
    QObject::connect(buttons.brake, &QPushButton::clicked, keys, &DriveKeys::endPresses);

    buttons.up->setToolTip(QStringLiteral("快捷键：↑"));
    buttons.down->setToolTip(QStringLiteral("快捷键：↓"));
    buttons.left->setToolTip(QStringLiteral("快捷键：←"));
    buttons.right->setToolTip(QStringLiteral("快捷键：→"));
    buttons.brake->setToolTip(QStringLiteral("快捷键：Esc"));
}

DriveKeys::DriveKeys(QWidget* window, const Buttons& buttons)
    : QObject(window)
    , m_window(window)
    , m_up(buttons.up)
    , m_down(buttons.down)
    , m_left(buttons.left)
    , m_right(buttons.right)
    , m_brake(buttons.brake)
{
    setObjectName(QStringLiteral("DriveKeys"));
}

QPushButton* DriveKeys::buttonFor(int key, QWidget* target) const
{
    // A key a text box ignores travels on to its parents; the focus decides, not the widget
    // the key has reached.
    if (keepsArrows(target) || keepsArrows(m_window->focusWidget()))
        return nullptr;
    switch (key) {
    case Qt::Key_Up:
        return m_up;
    case Qt::Key_Down:
        return m_down;
    case Qt::Key_Left:
        return m_left;
    case Qt::Key_Right:
        return m_right;
    default:
        return nullptr;
    }
}

bool DriveKeys::isRepeat(const QKeyEvent* key) const
{
    // X11 repeats a held key as a release and a press with the same time stamp, and Qt 6.4
    // does not always mark that pair as auto-repeat; unmarked, a held key would send a frame
    // every 40 ms. No hand lets go and presses again within the same millisecond.
    return key->isAutoRepeat()
        || (key->timestamp() != 0 && key->key() == m_releasedKey
            && key->timestamp() == m_releasedAt);
}

void DriveKeys::endPresses()
{
    // A button clicks when it is let go: held down over the brake, it would drive the car off
    // again right after it.
    m_ended.removeAll(nullptr);
    for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>()) {
        if (button->isDown()) {
            button->setDown(false);
            m_ended << button;
        }
    }
}

bool DriveKeys::endsWithBrake(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QAbstractButton*>(watched);
    const qsizetype at = button ? m_ended.indexOf(button) : -1;
    if (at < 0)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        // Moved back onto the button, the held mouse would press it down again.
        return static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton;
    case QEvent::MouseButtonRelease:
        m_ended.removeAt(at);
        button->setDown(false);
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space && key->key() != Qt::Key_Select)
            return false;
        // Space held on: its repeats, marked or not, belong to the press that was ended; a
        // new press starts a new one.
        if (event->type() == QEvent::KeyPress && !isRepeat(key)) {
            m_ended.removeAt(at);
            return false;
        }
        button->setDown(false);
        return true;
    }
    case QEvent::MouseButtonPress:
        m_ended.removeAt(at);
        return false;
    default:
        return false;
    }
}

bool DriveKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_ended.isEmpty() && endsWithBrake(watched, event)) {
        if (event->type() == QEvent::KeyRelease) {
            m_releasedKey = static_cast<QKeyEvent*>(event)->key();
            m_releasedAt = static_cast<QKeyEvent*>(event)->timestamp();
        }
        return true;
    }
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType())
        return false;
    auto* target = static_cast<QWidget*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyRelease) {
        m_releasedKey = key->key();
        m_releasedAt = key->timestamp();
        return false;
    }
    // A hand that stops the car in a hurry may hold Shift, Ctrl or Alt; it still stops.
    if (key->key() == Qt::Key_Escape && brakesFrom(target->window())) {
        brake(key, target);
        return true;
    }
    // Only the active window gets keys, so a key for this one means it is active.
    if (target->window() != m_window)
        return false;
    // Arrows on the keypad come with the keypad flag; anything held with them is a different
    // key.
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;

    QPushButton* button = buttonFor(key->key(), target);
    if (!button)
        return false;
    // The car obeys each frame until the next one; the keyboard's repeats would only flood
    // the line and, for a turn, block the console turn after turn.
    if (!isRepeat(key))
        button->click();
    return true;
}

bool DriveKeys::brakesFrom(const QWidget* window) const
{
    // A menu and the port box's drop-down list are popups: Esc closes them, as everywhere.
    if (window->windowType() == Qt::Popup)
        return false;
    // Every other window brakes: this one, the windows it owns (the traffic list, a box) and
    // those without an owner (a reference window). A window of another main window brakes
    // that window's car only.
    const QWidget* owner = window;
    while (owner->parentWidget())
        owner = owner->parentWidget()->window();
    const auto* keys = owner->findChild<DriveKeys*>(QString(), Qt::FindDirectChildrenOnly);
    return !keys || keys == this;
}

void DriveKeys::brake(const QKeyEvent* key, QWidget* target)
{
    if (isRepeat(key) || !m_brake)
        return;
    // A key pressed during a turn reaches its window only after a failure's box came up.
    QWidget* box = shownMessageBox();
    const quint64 before = messagesShown();
    m_brake->click();
    // Esc on the box closes it too, as Esc does on any box, unless the brake has just put its
    // own failure into it. Closed here: a key let through would be offered to the box's parents
    // in turn, and each would brake again.
    if (box && target->window() == box && messagesShown() == before)
        box->close();
}

} // namespace smartcar
