#pragma once
// Decoded control transfers: the conditional jumps, the LOOP family and JCXZ, near JMP, CALL and
// RET. Each returns the IP to go on at; `next` is the IP after the instruction, and `immediate`
// holds the displacement as the instruction carries it (a short one sign-extended to a word).
#include <cstdint>

#include "core/lazy_flags.h"
#include "exec/control_rules.h"
#include "exec/fast_operands.h"

namespace fast {

inline uint16_t jumpRelative(Cpu&, const DecodedInstruction& d, uint16_t next) {
    return static_cast<uint16_t>(next + d.immediate);
}

inline uint16_t jumpOrNot(bool taken, Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    return taken ? jumpRelative(cpu, d, next) : next;
}

template <class M>
uint16_t jumpIf(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    settleFlags<M>(cpu);
    return jumpOrNot(conditionHolds(cpu, d.reg), cpu, d, next);
}

inline uint16_t loop(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    return jumpOrNot(loopContinues(cpu, static_cast<uint8_t>(d.immediate)), cpu, d, next);
}

template <class M>
uint16_t loopz(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    settleFlags<M>(cpu);
    return jumpOrNot(loopzContinues(cpu), cpu, d, next);
}

template <class M>
uint16_t loopnz(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    settleFlags<M>(cpu);
    return jumpOrNot(loopnzContinues(cpu), cpu, d, next);
}

inline uint16_t jcxz(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    return jumpOrNot(cpu.cx == 0, cpu, d, next);
}

template <class M>
uint16_t callNear(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    M::push(cpu, next);
    return jumpRelative(cpu, d, next);
}

template <class M>
uint16_t ret(Cpu& cpu, const DecodedInstruction&, uint16_t) {
    return M::pop(cpu);
}

}  // namespace fast
