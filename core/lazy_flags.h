#pragma once
// Deferred flags. Most arithmetic results are overwritten before anyone reads their flags, so the
// fast run loop keeps only the last operation's rule, operands and result, and works the flag bytes
// out (with the mode's own rules, the same functions the step uses) when something reads them: a
// conditional jump, a carry-in, an instruction left to the step, the end of the run.
#include <cstdint>

#include "core/cpu.h"
#include "core/flags.h"
#include "core/modes.h"

// What the pending operands stand for; the word forms are the byte forms + 1.
enum FlagRule : uint8_t {
    kFlagsCurrent = 0,  // nothing pending: the flag bytes hold the flags
    kFlagsAdd8 = 2, kFlagsAdd16,
    kFlagsSub8, kFlagsSub16,
    kFlagsLogic8, kFlagsLogic16,
    kFlagsInc8, kFlagsInc16,  // CF is not pending: the flag byte holds it
    kFlagsDec8, kFlagsDec16,
};

// The logic rules read the result alone, so their operands are not stored (the rule is a constant
// where this is inlined, and the test folds away).
inline void deferFlags(Cpu& cpu, FlagRule rule, uint32_t op1, uint32_t op2, uint32_t result) {
    if (rule == kFlagsLogic8 || rule == kFlagsLogic16) {
        cpu.pendingFlags.rule = rule;
        cpu.pendingFlags.result = result;
    } else {
        cpu.pendingFlags = {rule, op1, op2, result};
    }
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
        case kFlagsLogic8: M::flagsLogic(cpu, word, p.result); break;
        default: M::flagsIncDec(cpu, word, p.rule < kFlagsDec8, p.op1, p.result); break;
    }
}

// Brings CF alone up to date, for an operation that sets every other flag itself and keeps the
// carry (INC, DEC): the pending operation's other flags would be overwritten unread.
inline void settleCarry(Cpu& cpu) {
    const Cpu::PendingFlags& p = cpu.pendingFlags;
    switch (p.rule) {
        case kFlagsAdd8: case kFlagsLogic8: cpu.cfFlag = carryOfAdd8(p.result); break;
        case kFlagsAdd16: case kFlagsLogic16: cpu.cfFlag = carryOfAdd16(p.result); break;
        case kFlagsSub8: cpu.cfFlag = carryOfSub8(p.result); break;
        case kFlagsSub16: cpu.cfFlag = carryOfSub16(p.result); break;
        default: break;  // INC, DEC or nothing pending: the flag byte holds CF already
    }
}

// The carry as an instruction that reads it sees it.
template <class M>
uint8_t carryFlag(Cpu& cpu) {
    settleFlags<M>(cpu);
    return cpu.cfFlag;
}
