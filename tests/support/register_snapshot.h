#pragma once
// The registers, the packed flags and the stop request of a machine, comparable as a whole: what
// the step property test and the step fuzz target compare before and after a step.
#include <cstdint>

#include "core/cpu.h"

struct Registers {
    uint16_t ax, bx, cx, dx, bp, si, di, sp, ip, cs, ds, es, ss;
    uint16_t flags;
    uint8_t stop;
    bool operator==(const Registers&) const = default;
};

inline Registers registersOf(const Cpu& c) {
    return {c.ax, c.bx, c.cx, c.dx, c.bp, c.si, c.di, c.sp, c.ip, c.cs, c.ds, c.es, c.ss, packFlags(c), c.stopRequested};
}
