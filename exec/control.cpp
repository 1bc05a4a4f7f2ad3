// Control transfer: conditional and relative jumps, the LOOP family and JCXZ, near and far calls,
// jumps and returns, the indirect transfers of the FF group, and HLT. None of them touches a flag.
// Relative targets are the offset after the whole instruction plus the signed displacement, within
// the same CS, modulo 64 KiB; the texts always show the target, never the displacement.
#include <cstdint>

#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "core/stack.h"
#include "disasm/text.h"
#include "exec/control_rules.h"
#include "exec/handlers.h"

namespace {

// Mnemonics of the sixteen conditions, by the low nibble of the (second) opcode byte.
const char* const kConditionNames[16] = {"jo", "jno", "jc", "jnc", "jz", "jnz", "jbe", "ja",
                                         "js", "jns", "jp", "jnp", "jl", "jge", "jle", "jg"};

// The LOOP family and JCXZ keep their displacement byte in codeByte; returns the target.
uint16_t takeLoopDisplacement(Cpu& cpu) {
    cpu.codeByte = fetchByte(cpu);
    return shortTarget(cpu, cpu.codeByte);
}

// Far pointer in the instruction: the offset word first, then the segment word.
template <class M>
void takeFarPointer(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    cpu.farSegment = M::fetchWord(cpu);
}

// RET n and RETF n release n bytes of arguments after the return address has been popped.
void releaseArguments(Cpu& cpu, uint16_t count) { cpu.sp = static_cast<uint16_t>(cpu.sp + count); }

// The segment half of an indirect far pointer: the word after the offset. For a register operand
// the standard mode's operand layer leaves the register's value in linear, so the word is read
// there + 2.
template <class M>
uint16_t farPointerSegment(const Cpu& cpu) { return M::readOperandWord(cpu, 2); }

template <class M>
void callIndirectNear(Cpu& cpu) {
    setText(cpu, "call\t%s", cpu.rmText);
    if (cpu.decodeOnly) return;
    M::push(cpu, cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.rmValue);
}

// The standard mode reads the segment word after the pushes, as this system has always done (a
// pointer on the stack may be overwritten by them); the 8086 reads both words first.
template <class M>
void callIndirectFar(Cpu& cpu);

template <>
void callIndirectFar<StandardMode>(Cpu& cpu) {
    setText(cpu, "call\tfar %s", cpu.rmText);
    if (cpu.decodeOnly) return;
    pushWord(cpu, cpu.cs);
    pushWord(cpu, cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.rmValue);
    cpu.cs = farPointerSegment<StandardMode>(cpu);
}

template <>
void callIndirectFar<ExactMode>(Cpu& cpu) {
    setText(cpu, "call\tfar %s", cpu.rmText);
    if (cpu.decodeOnly) return;
    const uint16_t segment = farPointerSegment<ExactMode>(cpu);
    ExactMode::push(cpu, cpu.cs);
    ExactMode::push(cpu, cpu.ip);
    cpu.ip = static_cast<uint16_t>(cpu.rmValue);
    cpu.cs = segment;
}

void jmpIndirectNear(Cpu& cpu) {
    setText(cpu, "jmp\t%s", cpu.rmText);
    if (cpu.decodeOnly) return;
    cpu.ip = static_cast<uint16_t>(cpu.rmValue);
}

template <class M>
void jmpIndirectFar(Cpu& cpu) {
    setText(cpu, "jmp\tfar %s", cpu.rmText);
    if (cpu.decodeOnly) return;
    cpu.ip = static_cast<uint16_t>(cpu.rmValue);
    cpu.cs = farPointerSegment<M>(cpu);
}

}  // namespace

void opJccShort(Cpu& cpu) {
    const unsigned condition = cpu.codeByte & 0x0F;
    cpu.codeByte = fetchByte(cpu);
    const uint16_t target = shortTarget(cpu, cpu.codeByte);
    setText(cpu, "%s\t%04x", kConditionNames[condition], target);
    if (cpu.decodeOnly) return;
    if (conditionHolds(cpu, condition)) cpu.ip = target;
}

template <class M>
void opJccNear(Cpu& cpu) {
    const unsigned condition = cpu.codeByte & 0x0F;
    cpu.imm16 = M::fetchWord(cpu);
    const uint16_t target = nearTarget(cpu, cpu.imm16);
    setText(cpu, "%s\t%04x", kConditionNames[condition], target);
    if (cpu.decodeOnly) return;
    if (conditionHolds(cpu, condition)) cpu.ip = target;
}

void opLoopnz(Cpu& cpu) {
    const uint16_t target = takeLoopDisplacement(cpu);
    setText(cpu, "loopnz\t%04x", target);
    if (cpu.decodeOnly) return;
    if (loopnzContinues(cpu)) cpu.ip = target;
}

void opLoopz(Cpu& cpu) {
    const uint16_t target = takeLoopDisplacement(cpu);
    setText(cpu, "loopz\t%04x", target);
    if (cpu.decodeOnly) return;
    if (loopzContinues(cpu)) cpu.ip = target;
}

void opLoop(Cpu& cpu) {
    const uint16_t target = takeLoopDisplacement(cpu);
    setText(cpu, "loop\t%04x", target);
    if (cpu.decodeOnly) return;
    if (loopContinues(cpu, cpu.codeByte)) cpu.ip = target;
}

void opJcxz(Cpu& cpu) {
    const uint16_t target = takeLoopDisplacement(cpu);
    setText(cpu, "jcxz\t%04x", target);
    if (cpu.decodeOnly) return;
    if (cpu.cx == 0) cpu.ip = target;
}

template <class M>
void opCallNear(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    const uint16_t target = nearTarget(cpu, cpu.imm16);
    setText(cpu, "call\t%04x", target);
    if (cpu.decodeOnly) return;
    M::push(cpu, cpu.ip);
    cpu.ip = target;
}

template <class M>
void opJmpNear(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    const uint16_t target = nearTarget(cpu, cpu.imm16);
    setText(cpu, "jmp\t%04x", target);
    if (cpu.decodeOnly) return;
    cpu.ip = target;
}

template <class M>
void opJmpFar(Cpu& cpu) {
    takeFarPointer<M>(cpu);
    setText(cpu, "jmp\t%04x:%04x", cpu.farSegment, cpu.imm16);
    if (cpu.decodeOnly) return;
    cpu.cs = cpu.farSegment;
    cpu.ip = cpu.imm16;
}

void opJmpShort(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    const uint16_t target = shortTarget(cpu, cpu.imm8);
    setText(cpu, "jmp\t%04x", target);
    if (cpu.decodeOnly) return;
    cpu.ip = target;
}

// The far call prints both halves with two-digit fields (the far JMP uses four).
template <class M>
void opCallFar(Cpu& cpu) {
    takeFarPointer<M>(cpu);
    setText(cpu, "call\t%02x:%02x", cpu.farSegment, cpu.imm16);
    if (cpu.decodeOnly) return;
    M::push(cpu, cpu.cs);
    M::push(cpu, cpu.ip);
    cpu.cs = cpu.farSegment;
    cpu.ip = cpu.imm16;
}

template <class M>
void opRetImm(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "ret\t%04x", cpu.imm16);
    if (cpu.decodeOnly) return;
    cpu.ip = M::pop(cpu);
    releaseArguments(cpu, cpu.imm16);
}

template <class M>
void opRet(Cpu& cpu) {
    setText(cpu, "ret");
    if (cpu.decodeOnly) return;
    cpu.ip = M::pop(cpu);
}

template <class M>
void opRetfImm(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "retf\t%04x", cpu.imm16);
    if (cpu.decodeOnly) return;
    cpu.ip = M::pop(cpu);
    cpu.cs = M::pop(cpu);
    releaseArguments(cpu, cpu.imm16);
}

template <class M>
void opRetf(Cpu& cpu) {
    setText(cpu, "retf");
    if (cpu.decodeOnly) return;
    cpu.ip = M::pop(cpu);
    cpu.cs = M::pop(cpu);
}

// HLT is no stopped state: IP goes back onto the HLT, so every later step executes it again.
void opHlt(Cpu& cpu) {
    setText(cpu, "hlt");
    if (cpu.decodeOnly) return;
    cpu.ip = static_cast<uint16_t>(cpu.ip - 1);
}

// All eight FF members share the decode and the operand texts; the reg field picks the member.
// The 8086 runs reg 7 as a second PUSH; the standard mode leaves it undefined.
template <class M>
void undefinedOrPushRmWord(Cpu& cpu);

template <>
void undefinedOrPushRmWord<StandardMode>(Cpu& cpu) {
    setText(cpu, "???\t%s%s", cpu.ptrText, cpu.rmText);
}

template <>
void undefinedOrPushRmWord<ExactMode>(Cpu& cpu) {
    pushRmWord<ExactMode>(cpu);
}

template <class M>
void opGroupFF(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    switch (cpu.regField) {
        case 0:
        case 1: incDecRmWord<M>(cpu); return;
        case 2: callIndirectNear<M>(cpu); return;
        case 3: callIndirectFar<M>(cpu); return;
        case 4: jmpIndirectNear(cpu); return;
        case 5: jmpIndirectFar<M>(cpu); return;
        case 6: pushRmWord<M>(cpu); return;
        default: undefinedOrPushRmWord<M>(cpu); return;
    }
}

VELKOR_FOR_BOTH_MODES(opJccNear)
VELKOR_FOR_BOTH_MODES(opCallNear)
VELKOR_FOR_BOTH_MODES(opJmpNear)
VELKOR_FOR_BOTH_MODES(opJmpFar)
VELKOR_FOR_BOTH_MODES(opCallFar)
VELKOR_FOR_BOTH_MODES(opRetImm)
VELKOR_FOR_BOTH_MODES(opRet)
VELKOR_FOR_BOTH_MODES(opRetfImm)
VELKOR_FOR_BOTH_MODES(opRetf)
VELKOR_FOR_BOTH_MODES(opGroupFF)
