// The unary groups F6 (bytes) and F7 (words): TEST with an immediate, NOT, NEG, MUL, IMUL, DIV and
// IDIV; the three-operand IMUL forms 69 and 6B; and AAM.
// The one-operand IMUL and the byte IDIV work on unsigned values, as this machine always has.
#include <cstdint>
#include <cstdio>

#include "core/cpu.h"
#include "core/flags.h"
#include "core/memory.h"
#include "core/operands.h"
#include "disasm/text.h"
#include "exec/handlers.h"

namespace {

// The members of F6/F7 by reg field; 0 and 1 are both TEST.
enum UnaryMember : unsigned { kTest, kTestAlias, kNot, kNeg, kMul, kImul, kDiv, kIdiv };

const char* const kUnaryMnemonics[8] = {"test", "test", "not", "neg", "mul", "imul", "div", "idiv"};

bool takesImmediate(unsigned member) { return member == kTest || member == kTestAlias; }

// A guest fault, not a host one: the run stops and the instruction changes nothing else.
void reportDivisionByZero(Cpu& cpu) {
    std::printf("division by zero\n");
    cpu.stopRequested = 1;
}

uint8_t lowByte(uint32_t value) { return static_cast<uint8_t>(value); }

uint16_t joinBytes(uint32_t high, uint32_t low) {
    return static_cast<uint16_t>((high & 0xFF) << 8 | (low & 0xFF));
}

// MUL and IMUL r/m8: AX = AL x operand, unsigned; CF = OF = the product needs AH.
void multiplyByte(Cpu& cpu) {
    cpu.result = lowByte(cpu.ax) * cpu.rmValue;
    cpu.ax = static_cast<uint16_t>(cpu.result);
    cpu.cfFlag = cpu.ofFlag = (cpu.ax >> 8) != 0;
}

// MUL and IMUL r/m16: DX:AX = AX x operand, unsigned; CF = OF = the product needs DX.
void multiplyWord(Cpu& cpu) {
    cpu.result = static_cast<uint32_t>(cpu.ax) * cpu.rmValue;
    cpu.dx = static_cast<uint16_t>(cpu.result >> 16);
    cpu.ax = static_cast<uint16_t>(cpu.result);
    cpu.cfFlag = cpu.ofFlag = cpu.dx != 0;
}

// DIV and IDIV r/m8: AX / operand, unsigned; AL = the quotient's low byte, AH = the remainder.
void divideByte(Cpu& cpu) {
    const uint32_t divisor = cpu.rmValue;
    if (divisor == 0) {
        reportDivisionByZero(cpu);
        return;
    }
    const uint32_t dividend = cpu.ax;
    cpu.ax = joinBytes(dividend % divisor, dividend / divisor);
}

uint32_t dxAx(const Cpu& cpu) { return static_cast<uint32_t>(cpu.dx) << 16 | cpu.ax; }

// DIV r/m16: DX:AX / operand, unsigned; AX = the quotient's low word, DX = the remainder.
void divideWordUnsigned(Cpu& cpu) {
    const uint32_t divisor = cpu.rmValue;
    if (divisor == 0) {
        reportDivisionByZero(cpu);
        return;
    }
    const uint32_t dividend = dxAx(cpu);
    cpu.ax = static_cast<uint16_t>(dividend / divisor);
    cpu.dx = static_cast<uint16_t>(dividend % divisor);
}

// IDIV r/m16: signed, quotient truncated toward zero, remainder with the dividend's sign. The
// 64-bit slots hold every quotient, 0x80000000 / -1 included, whose low word 0000 is stored.
void divideWordSigned(Cpu& cpu) {
    if (cpu.rmValue == 0) {
        reportDivisionByZero(cpu);
        return;
    }
    const int64_t dividend = static_cast<int32_t>(dxAx(cpu));
    const int64_t divisor = static_cast<int16_t>(cpu.rmValue);
    cpu.ax = static_cast<uint16_t>(dividend / divisor);
    cpu.dx = static_cast<uint16_t>(dividend % divisor);
}

// Writes the group's text; the TEST members take their immediate after the operand.
void formatUnaryByte(Cpu& cpu) {
    if (takesImmediate(cpu.regField)) {
        cpu.imm8 = fetchByte(cpu);
        setText(cpu, "test\t%s%s,%02x", cpu.ptrText, cpu.rmText, cpu.imm8);
    } else {
        setText(cpu, "%s\t%s%s", kUnaryMnemonics[cpu.regField], cpu.ptrText, cpu.rmText);
    }
}

void formatUnaryWord(Cpu& cpu) {
    if (takesImmediate(cpu.regField)) {
        cpu.imm16 = fetchWord(cpu);
        setText(cpu, "test\t%s%s,%04x", cpu.ptrText, cpu.rmText, cpu.imm16);
    } else {
        setText(cpu, "%s\t%s%s", kUnaryMnemonics[cpu.regField], cpu.ptrText, cpu.rmText);
    }
}

// 69 and 6B, as the 80186 defines them: reg = r/m x immediate, signed, low word stored;
// CF = OF = the product does not fit in a signed word. No other flag changes.
void multiplySignedByImmediate(Cpu& cpu, int16_t factor) {
    const int32_t product = static_cast<int16_t>(cpu.rmValue) * static_cast<int32_t>(factor);
    cpu.result = static_cast<uint32_t>(product);
    storeRegWord(cpu);
    cpu.cfFlag = cpu.ofFlag = product < INT16_MIN || product > INT16_MAX;
}

}  // namespace

void opGroupF6(Cpu& cpu) {
    decodeRmByte(cpu);
    formatOperands8(cpu);
    formatUnaryByte(cpu);
    if (cpu.decodeOnly) return;
    switch (cpu.regField) {
        case kTest:
        case kTestAlias:
            cpu.result = cpu.rmValue & cpu.imm8;
            flagsLogic8(cpu, cpu.result);
            break;
        case kNot:
            cpu.result = ~cpu.rmValue;
            storeRmByte(cpu);
            break;
        case kNeg:
            cpu.result = 0u - cpu.rmValue;
            storeRmByte(cpu);
            flagsSub8(cpu, 0, cpu.rmValue, cpu.result);
            break;
        case kMul:
        case kImul: multiplyByte(cpu); break;
        default: divideByte(cpu); break;  // DIV and IDIV
    }
}

void opGroupF7(Cpu& cpu) {
    decodeRmWord(cpu);
    formatOperands16(cpu);
    formatUnaryWord(cpu);
    if (cpu.decodeOnly) return;
    switch (cpu.regField) {
        case kTest:
        case kTestAlias:
            cpu.result = cpu.rmValue & cpu.imm16;
            flagsLogic16(cpu, cpu.result);
            break;
        case kNot:
            cpu.result = ~cpu.rmValue;
            storeRmWord(cpu);
            break;
        case kNeg:
            cpu.result = 0u - cpu.rmValue;
            storeRmWord(cpu);
            flagsSub16(cpu, 0, cpu.rmValue, cpu.result);
            break;
        case kMul:
        case kImul: multiplyWord(cpu); break;
        case kDiv: divideWordUnsigned(cpu); break;
        default: divideWordSigned(cpu); break;
    }
}

// The operand text is built before the immediate is taken: the immediate reuses imm8/imm16, where
// the operand text finds the displacement.
void opImulImm16(Cpu& cpu) {
    decodeRmWord(cpu);
    formatOperands16(cpu);
    cpu.imm16 = fetchWord(cpu);
    setText(cpu, "imul\t%s,%s,%04x", cpu.regText, cpu.rmText, cpu.imm16);
    if (cpu.decodeOnly) return;
    multiplySignedByImmediate(cpu, static_cast<int16_t>(cpu.imm16));
}

void opImulImm8(Cpu& cpu) {
    decodeRmWord(cpu);
    formatOperands16(cpu);
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "imul\t%s,%s,%02x", cpu.regText, cpu.rmText, cpu.imm8);
    if (cpu.decodeOnly) return;
    multiplySignedByImmediate(cpu, static_cast<int8_t>(cpu.imm8));
}

// AAM: AH = AL / base, AL = AL mod base, unsigned; flags unchanged. A zero base is reported like a
// division by zero.
void opAam(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "aam\t%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    const uint8_t base = cpu.imm8;
    if (base == 0) {
        reportDivisionByZero(cpu);
        return;
    }
    const uint8_t al = lowByte(cpu.ax);
    cpu.ax = joinBytes(al / base, al % base);
}
