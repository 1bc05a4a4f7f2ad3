#pragma once
// Which instructions may load IP with something other than the next instruction: the rule that
// the step property test and the step fuzz target use to decide whether an executed step must end
// where its decode-only step ended.
#include <cstdint>

#include "core/cpu.h"
#include "core/memory.h"
#include "exec/step.h"

// The exact 8086 also takes LOCK (F0 and its alias F1) as a prefix.
inline bool isPrefixByte(uint8_t b, CpuMode mode = CpuMode::standard) {
    if (mode == CpuMode::exact && (b == 0xF0 || b == 0xF1)) return true;
    return b == 0x26 || b == 0x2E || b == 0x36 || b == 0x3E || b == 0x66 || b == 0x67 || b == 0xF2 || b == 0xF3;
}

// On the 8086 the breakpoint and the divide error (DIV, IDIV, AAM) enter an interrupt handler too.
inline bool entersHandlerOn8086(uint8_t op, uint8_t next) {
    const unsigned reg = (next >> 3) & 7;
    return op == 0xCC || op == 0xD4 || ((op == 0xF6 || op == 0xF7) && reg >= 6);
}

// The bytes are read the way the processor fetches them: the offset wraps inside CS, and an
// instruction may carry up to kMaxPrefixBytes prefixes (one more makes the step "???").
inline bool transfersControl(const Cpu& cpu) {
    uint16_t at = cpu.ip;
    for (int prefixes = 1; isPrefixByte(readByteAt(cpu, cpu.cs, at), cpu.mode); ++prefixes, ++at) {
        if (prefixes > kMaxPrefixBytes) return false;
    }
    const uint8_t op = readByteAt(cpu, cpu.cs, at);
    const uint8_t next = readByteAt(cpu, cpu.cs, static_cast<uint16_t>(at + 1));
    if ((op >= 0x70 && op <= 0x7F) || (op >= 0xE0 && op <= 0xE3) || (op >= 0xE8 && op <= 0xEB)) return true;
    if (cpu.mode == CpuMode::exact && entersHandlerOn8086(op, next)) return true;
    switch (op) {
        case 0x9A: case 0xC2: case 0xC3: case 0xCA: case 0xCB: case 0xCD: case 0xCE: case 0xCF: case 0xF4:
            return true;
        case 0x0F:
            return next >= 0x80 && next <= 0x8F;
        case 0xFF: {
            const unsigned reg = (next >> 3) & 7;
            return reg >= 2 && reg <= 5;
        }
        default:
            return false;
    }
}
