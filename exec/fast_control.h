#pragma once
// Decoded control transfers: the conditional jumps, the LOOP family and JCXZ, near JMP, CALL and
// RET. IP is already past the instruction; `immediate` holds the displacement as the instruction
// carries it (a short one sign-extended to a word).
#include <cstdint>

#include "core/lazy_flags.h"
#include "exec/control_rules.h"
#include "exec/fast_operands.h"

namespace fast {

inline void jumpRelative(Cpu& cpu, const DecodedInstruction& d) { cpu.ip = nearTarget(cpu, d.immediate); }

template <class M>
void jumpIf(Cpu& cpu, const DecodedInstruction& d) {
    settleFlags<M>(cpu);
    if (conditionHolds(cpu, d.reg)) jumpRelative(cpu, d);
}

inline void loop(Cpu& cpu, const DecodedInstruction& d) {
    if (loopContinues(cpu, static_cast<uint8_t>(d.immediate))) jumpRelative(cpu, d);
}

template <class M>
void loopz(Cpu& cpu, const DecodedInstruction& d) {
    settleFlags<M>(cpu);
    if (loopzContinues(cpu)) jumpRelative(cpu, d);
}

template <class M>
void loopnz(Cpu& cpu, const DecodedInstruction& d) {
    settleFlags<M>(cpu);
    if (loopnzContinues(cpu)) jumpRelative(cpu, d);
}

inline void jcxz(Cpu& cpu, const DecodedInstruction& d) {
    if (cpu.cx == 0) jumpRelative(cpu, d);
}

template <class M>
void callNear(Cpu& cpu, const DecodedInstruction& d) {
    M::push(cpu, cpu.ip);
    jumpRelative(cpu, d);
}

template <class M>
void ret(Cpu& cpu, const DecodedInstruction&) {
    cpu.ip = M::pop(cpu);
}

}  // namespace fast
