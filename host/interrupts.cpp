// Software interrupts: INT3, INT n, INTO and IRET. INT 21h is answered by the host's DOS services in
// both modes; every other interrupt goes through the guest's vector table. There are no hardware
// interrupts. In the standard mode entering an interrupt leaves IF and TF as they are and INT3 only
// stops the run; the 8086 clears IF and TF on entry and takes INT3 through vector 3 (the run still
// stops there, in the handler).
#include <cstdint>

#include "core/memory.h"
#include "core/modes.h"
#include "disasm/text.h"
#include "exec/handlers.h"
#include "host/dos_services.h"

namespace {

constexpr uint8_t kBreakpointVector = 3;
constexpr uint8_t kOverflowVector = 4;

// Flags, CS, then the IP of the instruction after the interrupt instruction.
template <class M>
void pushInterruptFrame(Cpu& cpu) {
    M::push(cpu, M::flagsWord(cpu));
    M::push(cpu, cpu.cs);
    M::push(cpu, cpu.ip);
}

// Vector n sits at linear n*4: offset word, then segment word.
void enterVector(Cpu& cpu, uint8_t vector) {
    const uint32_t address = static_cast<uint32_t>(vector) * 4;
    cpu.ip = readWordLinear(cpu, address);
    cpu.cs = readWordLinear(cpu, address + 2);
}

// An interrupt through the vector table, as each processor enters it.
template <class M>
void interruptThroughVector(Cpu& cpu, uint8_t vector);

template <>
void interruptThroughVector<StandardMode>(Cpu& cpu, uint8_t vector) {
    pushInterruptFrame<StandardMode>(cpu);
    enterVector(cpu, vector);
}

template <>
void interruptThroughVector<ExactMode>(Cpu& cpu, uint8_t vector) {
    raiseInterrupt8086(cpu, vector);
}

}  // namespace

void raiseInterrupt8086(Cpu& cpu, uint8_t vector) {
    pushInterruptFrame<ExactMode>(cpu);
    cpu.ifFlag = cpu.tfFlag = 0;
    enterVector(cpu, vector);
}

// INT3 is the guest's breakpoint: here it stops the run and calls nothing.
void opInt3(Cpu& cpu) {
    setText(cpu, "int3");
    if (cpu.decodeOnly) return;
    cpu.stopRequested = 1;
}

// The 8086 takes the breakpoint interrupt; the monitor then stops the run inside its handler.
void opInt3For8086(Cpu& cpu) {
    setText(cpu, "int3");
    if (cpu.decodeOnly) return;
    raiseInterrupt8086(cpu, kBreakpointVector);
    cpu.stopRequested = 1;
}

template <class M>
void opInt(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    const uint8_t vector = cpu.imm8;
    setText(cpu, "int\t%02x", vector);
    if (cpu.decodeOnly) return;
    if (vector == kDosServiceVector) {
        pushInterruptFrame<M>(cpu);
        runDosService(cpu);
    } else {
        interruptThroughVector<M>(cpu, vector);
    }
}

template <class M>
void opInto(Cpu& cpu) {
    setText(cpu, "into");
    if (cpu.decodeOnly || cpu.ofFlag == 0) return;
    interruptThroughVector<M>(cpu, kOverflowVector);
}

template <class M>
void opIret(Cpu& cpu) {
    setText(cpu, "iret");
    if (cpu.decodeOnly) return;
    cpu.ip = M::pop(cpu);
    cpu.cs = M::pop(cpu);
    cpu.imm16 = M::pop(cpu);
    unpackFlags(cpu, cpu.imm16);
}

VELKOR_FOR_BOTH_MODES(opInt)
VELKOR_FOR_BOTH_MODES(opInto)
VELKOR_FOR_BOTH_MODES(opIret)
