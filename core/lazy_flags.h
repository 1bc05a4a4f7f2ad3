#pragma once
// Deferred flags. Most arithmetic results are overwritten before anyone reads their flags, so the
// fast run loop keeps only the last operation's rule, operands and result, and works the flag bytes
// out (with the mode's own rules, the same functions the step uses) when something reads them: a
// conditional jump, a carry-in, an instruction left to the step, the end of the run.
#include <cstdint>

#include "core/cpu.h"
#include "core/modes.h"

// What the pending operands stand for; the word forms are the byte forms + 1.
enum FlagRule : uint8_t {
    kFlagsCurrent = 0,  // nothing pending: the flag bytes hold the flags
    kFlagsAdd8 = 2, kFlagsAdd16,
    kFlagsSub8, kFlagsSub16,
    kFlagsLogic8, kFlagsLogic16,
};

inline void deferFlags(Cpu& cpu, FlagRule rule, uint32_t op1, uint32_t op2, uint32_t result) {
    cpu.pendingFlags = {rule, op1, op2, result};
}

// Writes the pending flags into the flag bytes.
template <class M>
void settleFlags(Cpu& cpu) {
    const Cpu::PendingFlags p = cpu.pendingFlags;
    if (p.rule == kFlagsCurrent) return;
    cpu.pendingFlags.rule = kFlagsCurrent;
    const bool word = (p.rule & 1) != 0;
    switch (p.rule & ~1u) {
        case kFlagsAdd8: M::flagsAdd(cpu, word, p.op1, p.op2, p.result); break;
        case kFlagsSub8: M::flagsSub(cpu, word, p.op1, p.op2, p.result); break;
        default: M::flagsLogic(cpu, word, p.result); break;
    }
}

// The carry as an instruction that reads it sees it.
template <class M>
uint8_t carryFlag(Cpu& cpu) {
    settleFlags<M>(cpu);
    return cpu.cfFlag;
}
