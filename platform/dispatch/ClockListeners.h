#pragma once

// Internal: threads other than the main queue's that wait on the main queue's clock.

#include <functional>

namespace keln::dispatch {

// Calls `listener` whenever the main queue's clock is replaced or a clock announces a jump
// (Clock::announceJump()), so that a thread that waits for deadlines on that clock looks at
// it again. Called on the thread that moved or replaced the clock; it must not block nor
// call back into the queue. Kept for the life of the process.
void addMainClockListener(std::function<void()> listener);

}  // namespace keln::dispatch
