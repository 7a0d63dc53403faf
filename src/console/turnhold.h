#pragma once

#include <QList>

#include <chrono>
#include <functional>

class QObject;

namespace smartcar {

// Holds the console still for a turn until `deadline`: no input reaches any window, and the
// timers of `held` (the poll) do not tick, while the window still repaints. Only the brake
// gets through, at once (brakepass.h): a car turning towards a wall must stop when told, not
// when the turn is over. The input held back is handed on afterwards, in its order, as if it
// had been given then; the ticks held back are dropped, the timers going on after the turn.
void holdForTurn(std::chrono::steady_clock::time_point deadline, const QList<QObject*>& held);

// Runs `step` now, or, while a turn holds the console, once the turn is over (as long as
// `context` lives). For what reaches the console other than as input: a signal that ends it.
void whenNoTurnHolds(QObject* context, std::function<void()> step);

} // namespace smartcar
