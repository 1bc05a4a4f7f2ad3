#pragma once
// Decoded data movement: MOV in its register, memory and immediate forms, PUSH and POP of a
// register, and the single string elements (no repeat prefix).
#include <cstdint>

#include "exec/fast_operands.h"
#include "exec/string_elements.h"

namespace fast {

template <class Dst, class Src>
void move(Cpu& cpu, const DecodedInstruction& d) {
    Dst(cpu, d).write(Src(cpu, d).read());
}

template <class M>
void pushRegister(Cpu& cpu, const DecodedInstruction& d) {
    M::push(cpu, M::registerAsPushed(cpu, d.reg));
}

// POP SP ends with SP = the word read (the pop's own change of SP is overwritten).
template <class M>
void popRegister(Cpu& cpu, const DecodedInstruction& d) {
    const uint16_t value = M::pop(cpu);
    setReg16(cpu, d.reg, value);
}

// One element of a string instruction, as the step runs it without a repeat prefix.
template <void (*element)(Cpu&)>
void stringElement(Cpu& cpu, const DecodedInstruction&) {
    takeSegmentBases(cpu);
    element(cpu);
}

inline void nothing(Cpu&, const DecodedInstruction&) {}

}  // namespace fast
