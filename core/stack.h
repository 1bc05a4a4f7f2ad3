#pragma once
// The system's stack convention: SP always addresses the slot the next push fills.
// A push stores at SS:SP and then lowers SP by 2; a pop raises SP by 2 and then reads at SS:SP.
#include <cstdint>

#include "core/memory.h"

inline void pushWord(Cpu& cpu, uint16_t value) {
    writeWordLinear(cpu, linearOf(cpu.ss, cpu.sp), value);
    cpu.sp = static_cast<uint16_t>(cpu.sp - 2);
}

inline uint16_t popWord(Cpu& cpu) {
    cpu.sp = static_cast<uint16_t>(cpu.sp + 2);
    return readWordLinear(cpu, linearOf(cpu.ss, cpu.sp));
}
