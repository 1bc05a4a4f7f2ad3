#pragma once
// Decoded arithmetic and logic: the eight two-operand operations, TEST, INC and DEC of a register.
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

// INC and DEC keep the carry, so the flags before them are settled first.
template <bool increment, class M>
void incDecRegister(Cpu& cpu, const DecodedInstruction& d) {
    settleFlags<M>(cpu);
    const uint32_t op1 = getReg16(cpu, d.reg);
    const uint32_t result = increment ? op1 + 1 : op1 - 1;
    setReg16(cpu, d.reg, static_cast<uint16_t>(result));
    M::flagsIncDec(cpu, true, increment, op1, result);
}

}  // namespace fast
