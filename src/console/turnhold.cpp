#include "console/turnhold.h"

#include "console/brakepass.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

namespace smartcar {

namespace {

class TurnHold;
TurnHold* holding = nullptr;

class TurnHold : public QObject
{
public:
    explicit TurnHold(const QList<QObject*>& held)
        : m_held(held)
        , m_outer(holding)
    {
        holding = this;
        QCoreApplication::instance()->installEventFilter(this);
    }

    void later(QObject* context, std::function<void()> step)
    {
        m_steps.emplace_back(context, std::move(step));
    }

    // Hands the input held back on, in its order, to be delivered once the turn's handler has
    // returned: an arrow held back starts its own turn then, not inside this one.
    ~TurnHold() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        holding = m_outer;
        for (auto& [receiver, event] : m_later) {
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
        }
        for (const QPointer<QWidget>& window : std::as_const(m_closeLater)) {
            if (window)
                QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        }
        for (auto& [context, step] : m_steps) {
            if (context)
                QMetaObject::invokeMethod(context, std::move(step), Qt::QueuedConnection);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            return m_held.contains(watched);
        // Input is held where it reaches a widget, or an action as a shortcut: on its way
        // there, through a window, it cannot yet tell the brake button from another. A
        // ShortcutOverride only asks whether a key is a shortcut; the shortcut itself, or the
        // key, is what is held back.
        const bool atAction = qobject_cast<QAction*>(watched) && event->type() == QEvent::Shortcut;
        if (!(watched->isWidgetType() || atAction) || !isOperatorInput(event)
            || event->type() == QEvent::ShortcutOverride || isBrakeInput(watched, event))
            return false;
        if (event->type() == QEvent::Close) {
            // The close box: the window closes once the turn is over.
            if (event->spontaneous()) {
                m_closeLater << static_cast<QWidget*>(watched);
                event->ignore();
                return true;
            }
            return false;
        }
        m_later.emplace_back(watched, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

private:
    QList<QObject*> m_held;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_later;
    QList<QPointer<QWidget>> m_closeLater;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_steps;
    TurnHold* m_outer;
};

} // namespace

void holdForTurn(std::chrono::steady_clock::time_point deadline, const QList<QObject*>& held)
{
    using namespace std::chrono;
    const TurnHold hold(held);
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    const auto check = [&] {
        const auto left = deadline - steady_clock::now();
        if (left <= steady_clock::duration::zero()) {
            loop.quit();
            return;
        }
        // Rounded up: a timer may still fire a little early, which the clock check catches.
        timer.start(int(ceil<milliseconds>(left).count()));
    };
    QObject::connect(&timer, &QTimer::timeout, &loop, check);
    check();
    if (timer.isActive())
        loop.exec();
}

void whenNoTurnHolds(QObject* context, std::function<void()> step)
{
    if (holding)
        holding->later(context, std::move(step));
    else
        step();
}

} // namespace smartcar
