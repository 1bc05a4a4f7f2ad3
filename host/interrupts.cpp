// Software interrupts: INT3, INT n, INTO and IRET. INT 21h is answered by the host's DOS services;
// every other interrupt goes through the guest's vector table. There are no hardware interrupts,
// and entering an interrupt leaves IF and TF as they are.
#include <cstdint>

#include "core/memory.h"
#include "core/stack.h"
#include "disasm/text.h"
#include "exec/handlers.h"
#include "host/dos_services.h"

namespace {

constexpr uint8_t kOverflowVector = 4;

// Flags, CS, then the IP of the instruction after the interrupt instruction.
void pushInterruptFrame(Cpu& cpu) {
    pushWord(cpu, packFlags(cpu));
    pushWord(cpu, cpu.cs);
    pushWord(cpu, cpu.ip);
}

// Vector n sits at linear n*4: offset word, then segment word.
void enterVector(Cpu& cpu, uint8_t vector) {
    const uint32_t address = static_cast<uint32_t>(vector) * 4;
    cpu.ip = readWordLinear(cpu, address);
    cpu.cs = readWordLinear(cpu, address + 2);
}

}  // namespace

// INT3 is the guest's breakpoint: it stops the run and calls nothing.
void opInt3(Cpu& cpu) {
    setText(cpu, "int3");
    if (cpu.decodeOnly) return;
    cpu.stopRequested = 1;
}

void opInt(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    const uint8_t vector = cpu.imm8;
    setText(cpu, "int\t%02x", vector);
    if (cpu.decodeOnly) return;
    pushInterruptFrame(cpu);
    if (vector == kDosServiceVector) {
        runDosService(cpu);
    } else {
        enterVector(cpu, vector);
    }
}

void opInto(Cpu& cpu) {
    setText(cpu, "into");
    if (cpu.decodeOnly || cpu.ofFlag == 0) return;
    pushInterruptFrame(cpu);
    enterVector(cpu, kOverflowVector);
}

void opIret(Cpu& cpu) {
    setText(cpu, "iret");
    if (cpu.decodeOnly) return;
    cpu.ip = popWord(cpu);
    cpu.cs = popWord(cpu);
    cpu.imm16 = popWord(cpu);
    unpackFlags(cpu, cpu.imm16);
}
