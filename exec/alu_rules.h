#pragma once
// The two-operand operations as values: what each one computes and which flag rule its result
// follows. The step and the fast run loop both build their ALU instructions from these.
#include <cstdint>

#include "core/lazy_flags.h"
#include "exec/handlers.h"

constexpr bool storesResult(AluOp op) { return op != kAluCmp; }
constexpr bool readsCarry(AluOp op) { return op == kAluAdc || op == kAluSbb; }

// The untruncated result: a carry shows above the operand width, a borrow as a wrapped 32-bit
// value. The carry-in of ADC and SBB is part of the result only; the flag rules see the true op2.
template <AluOp op>
constexpr uint32_t aluResult(uint32_t op1, uint32_t op2, uint8_t carry) {
    switch (op) {
        case kAluAdd: return op1 + op2;
        case kAluAdc: return op1 + op2 + carry;
        case kAluSub:
        case kAluCmp: return op1 - op2;
        case kAluSbb: return op1 - op2 - carry;
        case kAluOr: return op1 | op2;
        case kAluAnd: return op1 & op2;
        default: return op1 ^ op2;
    }
}

template <AluOp op>
constexpr FlagRule flagRuleOf(bool word) {
    const unsigned base = op == kAluAdd || op == kAluAdc                    ? kFlagsAdd8
                          : op == kAluSub || op == kAluSbb || op == kAluCmp ? kFlagsSub8
                                                                            : kFlagsLogic8;
    return static_cast<FlagRule>(base + (word ? 1 : 0));
}
