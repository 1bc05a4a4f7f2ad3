#include "host/tick_hook.h"

#include "host/opna_board.h"
#include "host/register_capture.h"
#include "platform/platform.h"

TickHook tickHook;

void waitTick(TickHook& tick, OpnaBoard& board) {
    if (tick.waitMs > 0) {
        const int64_t period = int64_t{tick.waitMs} * 1000000;
        const int64_t now = platform::monotonicNanos();
        int64_t deadline = tick.lastDeadline + period;
        // A deadline already behind us (first tick of a run, or a pause at the prompt)
        // restarts the pacing with a full period from now.
        if (deadline <= now) deadline = now + period;
        platform::sleepUntilNanos(deadline);
        tick.lastDeadline = deadline;
    }
    board.statusByte = 2;
    if (tick.capture) tick.capture->tick();
}
