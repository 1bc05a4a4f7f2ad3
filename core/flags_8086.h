#pragma once
// The 8086's flag rules: those of flags.h, plus the auxiliary carry (the carry or borrow out of
// bit 3) and the parity of the low result byte, which the hardware sets for every arithmetic and
// logic result. Results arrive untruncated, as for flags.h.
#include <array>
#include <bit>
#include <cstdint>

#include "core/cpu.h"
#include "core/flags.h"

// PF: 1 when the low byte holds an even number of one bits (a table: it is on every hot path).
inline constexpr auto kEvenParity = [] {
    std::array<uint8_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) table[value] = (std::popcount(value) & 1) == 0;
    return table;
}();

inline uint8_t parityOf(uint32_t result) { return kEvenParity[result & 0xFF]; }

// The bit that carried into (or borrowed from) bit 4 shows in the sum's bit 4 against the operands'.
inline uint8_t auxiliaryCarryOf(uint32_t op1, uint32_t op2, uint32_t result) {
    return ((op1 ^ op2 ^ result) >> 4) & 1;
}

// Forced inline: called with a constant width from every arithmetic handler, they shrink to a few
// instructions there, which the compiler's size heuristics do not foresee.
[[gnu::always_inline]] inline void flagsAdd8086(Cpu& cpu, bool word, uint32_t op1, uint32_t op2, uint32_t result) {
    word ? flagsAdd16(cpu, op1, op2, result) : flagsAdd8(cpu, op1, op2, result);
    cpu.afFlag = auxiliaryCarryOf(op1, op2, result);
    cpu.pfFlag = parityOf(result);
}

[[gnu::always_inline]] inline void flagsSub8086(Cpu& cpu, bool word, uint32_t op1, uint32_t op2, uint32_t result) {
    word ? flagsSub16(cpu, op1, op2, result) : flagsSub8(cpu, op1, op2, result);
    cpu.afFlag = auxiliaryCarryOf(op1, op2, result);
    cpu.pfFlag = parityOf(result);
}

// AND, OR, XOR and TEST clear CF, OF and AF.
[[gnu::always_inline]] inline void flagsLogic8086(Cpu& cpu, bool word, uint32_t result) {
    word ? flagsLogic16(cpu, result) : flagsLogic8(cpu, result);
    cpu.afFlag = 0;
    cpu.pfFlag = parityOf(result);
}

// INC and DEC: as ADD and SUB with 1, the carry kept.
[[gnu::always_inline]] inline void flagsIncDec8086(Cpu& cpu, bool word, bool increment, uint32_t op1, uint32_t result) {
    const uint8_t carry = cpu.cfFlag;
    if (increment) {
        flagsAdd8086(cpu, word, op1, 1, result);
    } else {
        flagsSub8086(cpu, word, op1, 1, result);
    }
    cpu.cfFlag = carry;
}
