#pragma once

namespace smartcar {

// Waits `ms` milliseconds on a monotonic clock while the window keeps handling its events.
// It sleeps in a local event loop, so any handler may run to completion inside the wait,
// including one that waits itself; the wait then ends no earlier than `ms` after it began
// and not before the nested handler has returned. For ms <= 0 pending events are handled
// once. Returns false when the wait was cut short because the program is ending; callers
// must then also check that their window still exists before touching it.
bool PacedWait(int ms);

} // namespace smartcar
