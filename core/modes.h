#pragma once
// The two processors as compile-time policies. Every handler that touches memory, the stack or the
// flags is a template over one of them; each mode has its own dispatch table, so the default
// mode's code is exactly what it was and the exact mode pays for nothing at run time.
//
// StandardMode is this system's own processor: linear offsets without a 16-bit wrap, the stack that
// stores and then moves SP, no AF or PF, the FLAGS word with its unused bits 0.
// ExactMode is the 8086: offsets wrap inside their segment, a push moves SP and then stores, every
// arithmetic result sets AF and PF, the FLAGS word has bit 1 and bits 12-15 set.
#include <cstdint>

#include "core/cpu.h"
#include "core/flags.h"
#include "core/flags_8086.h"
#include "core/memory.h"
#include "core/stack.h"

struct StandardMode {
    static constexpr CpuMode mode = CpuMode::standard;
    static constexpr bool offsetsWrap = false;

    static uint16_t fetchWord(Cpu& cpu) { return ::fetchWord(cpu); }

    // Memory at an offset of a segment whose base (segment * 16) is given.
    static uint32_t address(uint32_t base, uint32_t offset) { return base + offset; }
    static uint16_t readWord(const Cpu& cpu, uint32_t base, uint32_t offset) {
        return readWordLinear(cpu, base + offset);
    }
    static void writeWord(Cpu& cpu, uint32_t base, uint32_t offset, uint16_t value) {
        writeWordLinear(cpu, base + offset, value);
    }

    // The r/m memory operand: its offset is kept untruncated, its word's high byte is at linear + 1.
    static void setOperandAddress(Cpu& cpu, uint32_t base, uint32_t offset) {
        cpu.eaOffset = offset;
        cpu.eaLinear = cpu.linear = base + offset;
    }
    static uint16_t readOperandWord(const Cpu& cpu, uint32_t extra) { return readWordLinear(cpu, cpu.linear + extra); }
    static void writeOperandWord(Cpu& cpu, uint16_t value) { writeWordLinear(cpu, cpu.linear, value); }

    static void push(Cpu& cpu, uint16_t value) { pushWord(cpu, value); }
    static uint16_t pop(Cpu& cpu) { return popWord(cpu); }
    // What PUSH of a word register stores: PUSH SP stores SP as it was before the push.
    static uint16_t registerAsPushed(const Cpu& cpu, unsigned reg) { return getReg16(cpu, reg); }

    static uint16_t flagsWord(const Cpu& cpu) { return packFlags(cpu); }

    static void flagsAdd(Cpu& cpu, bool word, uint32_t op1, uint32_t op2, uint32_t result) {
        word ? flagsAdd16(cpu, op1, op2, result) : flagsAdd8(cpu, op1, op2, result);
    }
    static void flagsSub(Cpu& cpu, bool word, uint32_t op1, uint32_t op2, uint32_t result) {
        word ? flagsSub16(cpu, op1, op2, result) : flagsSub8(cpu, op1, op2, result);
    }
    static void flagsLogic(Cpu& cpu, bool word, uint32_t result) {
        word ? flagsLogic16(cpu, result) : flagsLogic8(cpu, result);
    }
    static void flagsIncDec(Cpu& cpu, bool word, bool increment, uint32_t op1, uint32_t result) {
        if (word) {
            increment ? flagsInc16(cpu, op1, result) : flagsDec16(cpu, op1, result);
        } else {
            increment ? flagsInc8(cpu, op1, result) : flagsDec8(cpu, op1, result);
        }
    }

    // The string instructions that do not compare repeat under F3 only.
    static bool repeatsCounted(const Cpu& cpu) { return cpu.repPrefix != 0; }
};

struct ExactMode {
    static constexpr CpuMode mode = CpuMode::exact;
    static constexpr bool offsetsWrap = true;

    static uint16_t fetchWord(Cpu& cpu) { return fetchWordWrapped(cpu); }

    static uint32_t address(uint32_t base, uint32_t offset) { return wrappedLinear(base, offset); }
    static uint16_t readWord(const Cpu& cpu, uint32_t base, uint32_t offset) {
        return readWordWrapped(cpu, base, offset);
    }
    static void writeWord(Cpu& cpu, uint32_t base, uint32_t offset, uint16_t value) {
        writeWordWrapped(cpu, base, offset, value);
    }

    static void setOperandAddress(Cpu& cpu, uint32_t base, uint32_t offset) {
        cpu.eaBase = base;
        cpu.eaOffset = offset & 0xFFFF;
        cpu.eaLinear = cpu.linear = wrappedLinear(base, offset);
    }
    static uint16_t readOperandWord(const Cpu& cpu, uint32_t extra) {
        return readWordWrapped(cpu, cpu.eaBase, cpu.eaOffset + extra);
    }
    static void writeOperandWord(Cpu& cpu, uint16_t value) { writeWordWrapped(cpu, cpu.eaBase, cpu.eaOffset, value); }

    static void push(Cpu& cpu, uint16_t value) { pushWord8086(cpu, value); }
    static uint16_t pop(Cpu& cpu) { return popWord8086(cpu); }
    // PUSH SP stores SP as the push has already lowered it.
    static uint16_t registerAsPushed(const Cpu& cpu, unsigned reg) {
        return reg == 4 ? static_cast<uint16_t>(cpu.sp - 2) : getReg16(cpu, reg);
    }

    static uint16_t flagsWord(const Cpu& cpu) { return packFlags8086(cpu); }

    static void flagsAdd(Cpu& cpu, bool word, uint32_t op1, uint32_t op2, uint32_t result) {
        flagsAdd8086(cpu, word, op1, op2, result);
    }
    static void flagsSub(Cpu& cpu, bool word, uint32_t op1, uint32_t op2, uint32_t result) {
        flagsSub8086(cpu, word, op1, op2, result);
    }
    static void flagsLogic(Cpu& cpu, bool word, uint32_t result) { flagsLogic8086(cpu, word, result); }
    static void flagsIncDec(Cpu& cpu, bool word, bool increment, uint32_t op1, uint32_t result) {
        flagsIncDec8086(cpu, word, increment, op1, result);
    }

    // REPNZ repeats MOVS, STOS, LODS (and INS, OUTS) as REP does.
    static bool repeatsCounted(const Cpu& cpu) { return (cpu.repPrefix | cpu.repnzPrefix) != 0; }
};

// Both instances of a handler template, for the dispatch tables in another source.
#define VELKOR_FOR_BOTH_MODES(handler)              \
    template void handler<StandardMode>(Cpu & cpu); \
    template void handler<ExactMode>(Cpu & cpu);
