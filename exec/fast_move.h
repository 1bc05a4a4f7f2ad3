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

// MOVS without a prefix, as the step runs one element.
template <void (*element)(Cpu&)>
void stringElement(Cpu& cpu, const DecodedInstruction&) {
    takeSegmentBases(cpu);
    element(cpu);
}

// LODS and STOS without a prefix: AL or AX from DS:SI, or to ES:DI; the index moves by the size.
// STOSB reads AL as a byte: a word read of AX just after a byte write of AL (LODSB, MOV AL) would
// wait for the write to reach the cache.
template <class W, class M>
void loadString(Cpu& cpu, const DecodedInstruction&) {
    const uint32_t base = linearOf(cpu.ds, 0);
    if constexpr (W::word) cpu.ax = M::readWord(cpu, base, cpu.si);
    else setReg8(cpu, 0, readByteLinear(cpu, M::address(base, cpu.si)));
    advanceSource(cpu, W::word ? kWordSize : kByteSize);
}

template <class W, class M>
void storeString(Cpu& cpu, const DecodedInstruction&) {
    const uint32_t base = linearOf(cpu.es, 0);
    if constexpr (W::word) M::writeWord(cpu, base, cpu.di, cpu.ax);
    else writeByteLinear(cpu, M::address(base, cpu.di), getReg8(cpu, 0));
    advanceDestination(cpu, W::word ? kWordSize : kByteSize);
}

inline void nothing(Cpu&, const DecodedInstruction&) {}

}  // namespace fast
