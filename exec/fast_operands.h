#pragma once
// Operands of decoded instructions. The decoder has already taken the ModR/M byte apart and picked
// the handler instance for a register or a memory operand, so an operand here is a register index
// or an address formed from the entry, with no decoding and no branching on the form. Memory goes
// through the mode's address rules, exactly as the operand layer reaches it.
#include <cstdint>

#include "core/cpu.h"
#include "core/decode_cache.h"
#include "core/memory.h"
#include "core/modes.h"

// The handler of an instruction that does not transfer control: its body, then on after it.
template <void (*body)(Cpu&, const DecodedInstruction&)>
uint16_t straight(Cpu& cpu, const DecodedInstruction& d, uint16_t next) {
    body(cpu, d);
    return next;
}

struct Byte {
    static constexpr bool word = false;
};
struct Word {
    static constexpr bool word = true;
};

// A register operand: the one the entry's reg field names (or the opcode), or its r/m field. A
// word register is a plain index into the register file (the decoder's numbers are 0-7 already),
// a byte register an index into its bytes, which the decoder has worked out too.
template <class W, uint8_t DecodedInstruction::*field>
struct RegisterOperand {
    static constexpr uint8_t DecodedInstruction::*kByteField =
        field == &DecodedInstruction::reg ? &DecodedInstruction::regByte : &DecodedInstruction::rmByte;
    Cpu& cpu;
    unsigned n;
    RegisterOperand(Cpu& c, const DecodedInstruction& d) : cpu(c), n(W::word ? d.*field : d.*kByteField) {}
    uint32_t read() const {
        if constexpr (W::word) return cpu.regs[n];
        else return reinterpret_cast<const uint8_t*>(cpu.regs)[n];
    }
    void write(uint32_t value) const {
        if constexpr (W::word) cpu.regs[n] = static_cast<uint16_t>(value);
        else reinterpret_cast<uint8_t*>(cpu.regs)[n] = static_cast<uint8_t>(value);
    }
};

template <class W>
using RegOperand = RegisterOperand<W, &DecodedInstruction::reg>;
template <class W>
using RmRegister = RegisterOperand<W, &DecodedInstruction::rm>;

// The offset of a memory operand, untruncated: BX+SI may pass FFFF, as the operand layer forms it.
inline uint32_t operandOffset(const Cpu& cpu, const DecodedInstruction& d) {
    return (cpu.regs[d.baseReg] & d.baseMask) + (cpu.regs[d.indexReg] & d.indexMask) + d.displacement;
}

// The r/m operand when it is memory; the address is formed once, when the operand is.
template <class W, class M>
struct RmMemory {
    Cpu& cpu;
    uint32_t base, offset;
    // The address is also left where the step leaves its last memory operand's: the step's LEA,
    // LES and LDS of a register operand (and the 8086's far jumps through one) use that address.
    RmMemory(Cpu& c, const DecodedInstruction& d)
        : cpu(c), base(linearOf(c.segs[d.segment], 0)), offset(operandOffset(c, d)) {
        M::setOperandAddress(c, base, offset);
    }
    uint32_t read() const {
        if constexpr (W::word) return M::readWord(cpu, base, offset);
        else return readByteLinear(cpu, M::address(base, offset));
    }
    void write(uint32_t value) const {
        if constexpr (W::word) M::writeWord(cpu, base, offset, static_cast<uint16_t>(value));
        else writeByteLinear(cpu, M::address(base, offset), static_cast<uint8_t>(value));
    }
};

// AL or AX.
template <class W>
struct Accumulator {
    Cpu& cpu;
    Accumulator(Cpu& c, const DecodedInstruction&) : cpu(c) {}
    uint32_t read() const { return W::word ? cpu.ax : getReg8(cpu, 0); }
    void write(uint32_t value) const {
        if constexpr (W::word) cpu.ax = static_cast<uint16_t>(value);
        else setReg8(cpu, 0, static_cast<uint8_t>(value));
    }
};

// The immediate, as the instruction uses it (83's byte already widened to a word).
template <class W>
struct Immediate {
    uint32_t value;
    Immediate(Cpu&, const DecodedInstruction& d) : value(d.immediate) {}
    uint32_t read() const { return value; }
};
