#pragma once
// Decoded arithmetic and logic: the eight two-operand operations, TEST, INC and DEC.
// Each is its definition over two operands; the flags are deferred (core/lazy_flags.h).
#include <cstdint>

#include "core/lazy_flags.h"
#include "exec/alu_rules.h"
#include "exec/fast_operands.h"

namespace fast {

// dst = dst op src, the flags as op's rule has them. ADC and SBB read the carry first.
template <AluOp op, class W, class M, class Dst, class Src>
void alu(Cpu& cpu, const DecodedInstruction& d) {
    const Dst dst(cpu, d);
    const uint32_t op1 = dst.read();
    const uint32_t op2 = Src(cpu, d).read();
    const uint32_t result = aluResult<op>(op1, op2, readsCarry(op) ? carryFlag<M>(cpu) : 0);
    deferFlags(cpu, flagRuleOf<op>(W::word), op1, op2, result);
    if constexpr (storesResult(op)) dst.write(result);
}

// TEST: AND for the flags only.
template <class W, class M, class Dst, class Src>
void test(Cpu& cpu, const DecodedInstruction& d) {
    const uint32_t result = Dst(cpu, d).read() & Src(cpu, d).read();
    deferFlags(cpu, flagRuleOf<kAluAnd>(W::word), 0, 0, result);
}

// INC and DEC keep the carry, so the carry of the operation before them is settled first.
template <bool increment, class W, class M, class Operand>
void incDec(Cpu& cpu, const DecodedInstruction& d) {
    settleCarry(cpu);
    const Operand operand(cpu, d);
    const uint32_t op1 = operand.read();
    const uint32_t result = increment ? op1 + 1 : op1 - 1;
    operand.write(result);
    const FlagRule rule = increment ? (W::word ? kFlagsInc16 : kFlagsInc8) : (W::word ? kFlagsDec16 : kFlagsDec8);
    deferFlags(cpu, rule, op1, 1, result);
}

}  // namespace fast
