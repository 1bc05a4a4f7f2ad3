// The stack instructions: every PUSH and POP form, PUSHA/POPA, PUSHF/POPF, and the frame
// instructions ENTER/LEAVE, which are shown but have no effect here. All of them go through
// pushWord/popWord, so SP addresses the slot the next push fills.
#include "core/memory.h"
#include "core/operands.h"
#include "core/stack.h"
#include "disasm/text.h"
#include "exec/handlers.h"

namespace {

// Opcodes 06 0E 16 1E (push) and 07 17 1F (pop) name their segment register in bits 4-3.
unsigned segmentNumberOf(uint8_t opcode) { return (opcode >> 3) & 3; }

}  // namespace

void opPushSegment(Cpu& cpu) {
    const unsigned segment = segmentNumberOf(cpu.codeByte);
    setText(cpu, "push\t%s", kSegmentRegisterNames[segment]);
    if (cpu.decodeOnly) return;
    pushWord(cpu, segmentRegister(cpu, segment));
}

void opPopSegment(Cpu& cpu) {
    const unsigned segment = segmentNumberOf(cpu.codeByte);
    setText(cpu, "pop\t%s", kSegmentRegisterNames[segment]);
    if (cpu.decodeOnly) return;
    segmentRegister(cpu, segment) = popWord(cpu);
}

// PUSH SP pushes SP as it was before the push.
void opPushReg(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0x50u;
    setText(cpu, "push\t%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    pushWord(cpu, getReg16(cpu, reg));
}

// POP SP raises SP by 2 and then loads it with the word read.
void opPopReg(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0x58u;
    setText(cpu, "pop\t%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    const uint16_t value = popWord(cpu);
    setReg16(cpu, reg, value);
}

// Pushes AX CX DX BX, SP as it was before the first push, BP SI DI.
void opPusha(Cpu& cpu) {
    setText(cpu, "pusha");
    if (cpu.decodeOnly) return;
    cpu.imm16 = cpu.sp;
    pushWord(cpu, cpu.ax);
    pushWord(cpu, cpu.cx);
    pushWord(cpu, cpu.dx);
    pushWord(cpu, cpu.bx);
    pushWord(cpu, cpu.imm16);
    pushWord(cpu, cpu.bp);
    pushWord(cpu, cpu.si);
    pushWord(cpu, cpu.di);
}

// Pops in the reverse order; the stored SP word is skipped, SP just ends 16 higher.
void opPopa(Cpu& cpu) {
    setText(cpu, "popa");
    if (cpu.decodeOnly) return;
    cpu.di = popWord(cpu);
    cpu.si = popWord(cpu);
    cpu.bp = popWord(cpu);
    cpu.imm16 = popWord(cpu);
    cpu.bx = popWord(cpu);
    cpu.dx = popWord(cpu);
    cpu.cx = popWord(cpu);
    cpu.ax = popWord(cpu);
}

void opPushImm16(Cpu& cpu) {
    cpu.imm16 = fetchWord(cpu);
    setText(cpu, "push\t%04x", cpu.imm16);
    if (cpu.decodeOnly) return;
    pushWord(cpu, cpu.imm16);
}

// The text shows the byte as fetched; the pushed word is its sign extension.
void opPushImm8(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "push\t%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    pushWord(cpu, static_cast<uint16_t>(static_cast<int8_t>(cpu.imm8)));
}

// 8F: the reg field is not examined. The operand address is taken before the pop.
void opPopRm(Cpu& cpu) {
    decodeRmWord(cpu);
    formatOperands16(cpu);
    setText(cpu, "pop\t%s", cpu.rmText);
    if (cpu.decodeOnly) return;
    cpu.result = popWord(cpu);
    storeRmWord(cpu);
}

// FF /6: the FF group has already decoded and formatted the operand.
void pushRmWord(Cpu& cpu) {
    setText(cpu, "push\t%s", cpu.rmText);
    if (cpu.decodeOnly) return;
    pushWord(cpu, static_cast<uint16_t>(cpu.rmValue));
}

void opPushf(Cpu& cpu) {
    setText(cpu, "pushf");
    if (cpu.decodeOnly) return;
    cpu.imm16 = packFlags(cpu);
    pushWord(cpu, cpu.imm16);
}

void opPopf(Cpu& cpu) {
    setText(cpu, "popf");
    if (cpu.decodeOnly) return;
    cpu.imm16 = popWord(cpu);
    unpackFlags(cpu, cpu.imm16);
}

// ENTER and LEAVE are shown and skipped: no stack frame is built or released.
void opEnter(Cpu& cpu) {
    cpu.imm16 = fetchWord(cpu);
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "enter\t%04x,%02x", cpu.imm16, cpu.imm8);
}

void opLeave(Cpu& cpu) { setText(cpu, "leave"); }
