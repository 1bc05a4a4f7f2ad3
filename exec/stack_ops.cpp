// The stack instructions: every PUSH and POP form, PUSHA/POPA, PUSHF/POPF, and the frame
// instructions ENTER/LEAVE. All of them push and pop through the mode's stack: in the standard mode
// SP addresses the slot the next push fills and ENTER/LEAVE are shown but have no effect; the exact
// mode's stack is the 8086's, and ENTER/LEAVE build and release frames as the 80186 does.
#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "core/stack.h"
#include "disasm/text.h"
#include "exec/handlers.h"

namespace {

// Opcodes 06 0E 16 1E (push) and 07 17 1F (pop) name their segment register in bits 4-3.
unsigned segmentNumberOf(uint8_t opcode) { return (opcode >> 3) & 3; }

}  // namespace

template <class M>
void opPushSegment(Cpu& cpu) {
    const unsigned segment = segmentNumberOf(cpu.codeByte);
    setText(cpu, "push\t%s", kSegmentRegisterNames[segment]);
    if (cpu.decodeOnly) return;
    M::push(cpu, segmentRegister(cpu, segment));
}

template <class M>
void opPopSegment(Cpu& cpu) {
    const unsigned segment = segmentNumberOf(cpu.codeByte);
    setText(cpu, "pop\t%s", kSegmentRegisterNames[segment]);
    if (cpu.decodeOnly) return;
    segmentRegister(cpu, segment) = M::pop(cpu);
}

// PUSH SP: the standard mode pushes SP as it was before the push, the 8086 SP as lowered by it.
template <class M>
void opPushReg(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0x50u;
    setText(cpu, "push\t%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    M::push(cpu, M::registerAsPushed(cpu, reg));
}

// POP SP ends with SP = the word read (the pop's own change of SP is overwritten).
template <class M>
void opPopReg(Cpu& cpu) {
    const unsigned reg = cpu.codeByte - 0x58u;
    setText(cpu, "pop\t%s", kWordRegisterNames[reg]);
    if (cpu.decodeOnly) return;
    const uint16_t value = M::pop(cpu);
    setReg16(cpu, reg, value);
}

// Pushes AX CX DX BX, SP as it was before the first push, BP SI DI.
template <class M>
void opPusha(Cpu& cpu) {
    setText(cpu, "pusha");
    if (cpu.decodeOnly) return;
    cpu.imm16 = cpu.sp;
    M::push(cpu, cpu.ax);
    M::push(cpu, cpu.cx);
    M::push(cpu, cpu.dx);
    M::push(cpu, cpu.bx);
    M::push(cpu, cpu.imm16);
    M::push(cpu, cpu.bp);
    M::push(cpu, cpu.si);
    M::push(cpu, cpu.di);
}

// Pops in the reverse order; the stored SP word is skipped, SP just ends 16 higher.
template <class M>
void opPopa(Cpu& cpu) {
    setText(cpu, "popa");
    if (cpu.decodeOnly) return;
    cpu.di = M::pop(cpu);
    cpu.si = M::pop(cpu);
    cpu.bp = M::pop(cpu);
    cpu.imm16 = M::pop(cpu);
    cpu.bx = M::pop(cpu);
    cpu.dx = M::pop(cpu);
    cpu.cx = M::pop(cpu);
    cpu.ax = M::pop(cpu);
}

template <class M>
void opPushImm16(Cpu& cpu) {
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "push\t%04x", cpu.imm16);
    if (cpu.decodeOnly) return;
    M::push(cpu, cpu.imm16);
}

// The text shows the byte as fetched; the pushed word is its sign extension.
template <class M>
void opPushImm8(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "push\t%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    M::push(cpu, static_cast<uint16_t>(static_cast<int8_t>(cpu.imm8)));
}

// 8F: the reg field is not examined. The operand address is taken before the pop.
template <class M>
void opPopRm(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    setText(cpu, "pop\t%s", cpu.rmText);
    if (cpu.decodeOnly) return;
    cpu.result = M::pop(cpu);
    storeRmWord<M>(cpu);
}

// FF /6: the FF group has already decoded and formatted the operand. PUSH SP in this form stores
// SP as the mode's PUSH SP does.
template <class M>
void pushRmWord(Cpu& cpu) {
    setText(cpu, "push\t%s", cpu.rmText);
    if (cpu.decodeOnly) return;
    M::push(cpu, rmIsRegister(cpu) ? M::registerAsPushed(cpu, cpu.rmField) : static_cast<uint16_t>(cpu.rmValue));
}

template <class M>
void opPushf(Cpu& cpu) {
    setText(cpu, "pushf");
    if (cpu.decodeOnly) return;
    cpu.imm16 = M::flagsWord(cpu);
    M::push(cpu, cpu.imm16);
}

template <class M>
void opPopf(Cpu& cpu) {
    setText(cpu, "popf");
    if (cpu.decodeOnly) return;
    cpu.imm16 = M::pop(cpu);
    unpackFlags(cpu, cpu.imm16);
}

// ENTER and LEAVE are shown and skipped: no stack frame is built or released.
void opEnter(Cpu& cpu) {
    cpu.imm16 = fetchWord(cpu);
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "enter\t%04x,%02x", cpu.imm16, cpu.imm8);
}

void opLeave(Cpu& cpu) { setText(cpu, "leave"); }

// The 80186's ENTER: push BP, copy level - 1 frame pointers of the enclosing frames, push the new
// frame pointer, point BP at the frame and reserve its locals. Only the low five bits of the level
// count.
void opEnter8086(Cpu& cpu) {
    cpu.imm16 = ExactMode::fetchWord(cpu);
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "enter\t%04x,%02x", cpu.imm16, cpu.imm8);
    if (cpu.decodeOnly) return;
    const unsigned level = cpu.imm8 & 0x1F;
    ExactMode::push(cpu, cpu.bp);
    const uint16_t framePointer = cpu.sp;
    if (level > 0) {
        const uint32_t stackBase = linearOf(cpu.ss, 0);
        for (unsigned i = 1; i < level; ++i) {
            cpu.bp = static_cast<uint16_t>(cpu.bp - 2);
            ExactMode::push(cpu, ExactMode::readWord(cpu, stackBase, cpu.bp));
        }
        ExactMode::push(cpu, framePointer);
    }
    cpu.bp = framePointer;
    cpu.sp = static_cast<uint16_t>(cpu.sp - cpu.imm16);
}

void opLeave8086(Cpu& cpu) {
    setText(cpu, "leave");
    if (cpu.decodeOnly) return;
    cpu.sp = cpu.bp;
    cpu.bp = ExactMode::pop(cpu);
}

VELKOR_FOR_BOTH_MODES(opPushSegment)
VELKOR_FOR_BOTH_MODES(opPopSegment)
VELKOR_FOR_BOTH_MODES(opPushReg)
VELKOR_FOR_BOTH_MODES(opPopReg)
VELKOR_FOR_BOTH_MODES(opPusha)
VELKOR_FOR_BOTH_MODES(opPopa)
VELKOR_FOR_BOTH_MODES(opPushImm16)
VELKOR_FOR_BOTH_MODES(opPushImm8)
VELKOR_FOR_BOTH_MODES(opPopRm)
VELKOR_FOR_BOTH_MODES(pushRmWord)
VELKOR_FOR_BOTH_MODES(opPushf)
VELKOR_FOR_BOTH_MODES(opPopf)
