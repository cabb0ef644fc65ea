// Waiting on the one thread without freezing its windows: every wait of the
// stub serves the thread's messages while it passes the time.
#pragma once

#include <cstdint>
#include <functional>

// Removes and dispatches every message waiting in the thread's queue, then
// sleeps ms (a negative value sleeps 0). An exception thrown by a handler is
// caught and written to the debug channel with the tag "YieldX".
void YieldX(int ms);

// Waits totalMs, calling YieldX with the slice (WaitSlice) at least once and
// until the millisecond clock (TickMs) has advanced by totalMs.
void WaitPumping(int totalMs, int sliceMs = 0);

// --- portable pieces, tested on the host

// The slice WaitPumping yields in: a slice of 0 (or below) becomes totalMs
// div 10 kept between 1 and 25 ms; a positive slice is used as given.
int WaitSlice(int totalMs, int sliceMs);

// The loop of WaitPumping over a clock and a yield: yield(WaitSlice(...))
// runs once, and again until now() has advanced by totalMs since the start.
void RunWait(int totalMs, int sliceMs, const std::function<int64_t()>& now,
             const std::function<void(int)>& yield);
