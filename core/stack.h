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

// The 8086's stack: a push lowers SP by 2 and then stores at SS:SP; a pop reads at SS:SP and then
// raises SP. The word wraps inside the stack segment.
inline void pushWord8086(Cpu& cpu, uint16_t value) {
    cpu.sp = static_cast<uint16_t>(cpu.sp - 2);
    writeWordWrapped(cpu, linearOf(cpu.ss, 0), cpu.sp, value);
}

inline uint16_t popWord8086(Cpu& cpu) {
    const uint16_t value = readWordWrapped(cpu, linearOf(cpu.ss, 0), cpu.sp);
    cpu.sp = static_cast<uint16_t>(cpu.sp + 2);
    return value;
}
