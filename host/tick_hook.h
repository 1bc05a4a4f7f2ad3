#pragma once
// The WAIT tick: the guest's only time base. Each tick sleeps waitMs and raises the timer flag.
#include <cstdint>

struct OpnaBoard;
class RegisterCapture;

struct TickHook {
    int waitMs = 5;
    // When the previous tick was due; ticks are paced from it so that the guest's own run time
    // and the sleep's overshoot do not stretch the tempo.
    int64_t lastDeadline = 0;
    // Moves the capture's time on by one tick.
    RegisterCapture* capture = nullptr;
};

void waitTick(TickHook& tick, OpnaBoard& board);

// The program's one tick hook.
extern TickHook tickHook;
