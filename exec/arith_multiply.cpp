// The unary groups F6 (bytes) and F7 (words): TEST with an immediate, NOT, NEG, MUL, IMUL, DIV and
// IDIV; the three-operand IMUL forms 69 and 6B; and AAM.
// In the standard mode the one-operand IMUL and the byte IDIV work on unsigned values, as this
// machine always has, and a division by zero only stops the run; the exact mode multiplies and
// divides as the 8086 does and takes its divide error through interrupt 0.
#include <cstdint>
#include <cstdio>

#include "core/cpu.h"
#include "core/flags.h"
#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "disasm/text.h"
#include "exec/exact_multiply_divide.h"
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

// The 8086's divide error: interrupt 0, entered with the IP of the next instruction; the monitor
// then stops the run in the handler.
void raiseDivideError(Cpu& cpu) {
    raiseInterrupt8086(cpu, 0);
    reportDivisionByZero(cpu);
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

// The multiply and divide members by mode: the operand is in rmValue.
template <class M>
struct MultiplyDivide;

template <>
struct MultiplyDivide<StandardMode> {
    static void multiplyByte(Cpu& cpu, bool) { ::multiplyByte(cpu); }
    static void multiplyWord(Cpu& cpu, bool) { ::multiplyWord(cpu); }
    static void divideByte(Cpu& cpu, bool) { ::divideByte(cpu); }
    static void divideWord(Cpu& cpu, bool isSigned) {
        isSigned ? divideWordSigned(cpu) : divideWordUnsigned(cpu);
    }
};

// A REP prefix in front of them is part of the 8086's microcode state: it negates signed results.
bool repPrefixed(const Cpu& cpu) { return (cpu.repPrefix | cpu.repnzPrefix) != 0; }

template <>
struct MultiplyDivide<ExactMode> {
    static void multiplyByte(Cpu& cpu, bool isSigned) {
        exact8086::multiplyByte(cpu, lowByte(cpu.rmValue), isSigned, repPrefixed(cpu));
    }
    static void multiplyWord(Cpu& cpu, bool isSigned) {
        exact8086::multiplyWord(cpu, static_cast<uint16_t>(cpu.rmValue), isSigned, repPrefixed(cpu));
    }
    static void divideByte(Cpu& cpu, bool isSigned) {
        if (!exact8086::divideByte(cpu, lowByte(cpu.rmValue), isSigned, repPrefixed(cpu))) raiseDivideError(cpu);
    }
    static void divideWord(Cpu& cpu, bool isSigned) {
        if (!exact8086::divideWord(cpu, static_cast<uint16_t>(cpu.rmValue), isSigned, repPrefixed(cpu))) {
            raiseDivideError(cpu);
        }
    }
};

// Writes the group's text; the TEST members take their immediate after the operand.
void formatUnaryByte(Cpu& cpu) {
    if (takesImmediate(cpu.regField)) {
        cpu.imm8 = fetchByte(cpu);
        setText(cpu, "test\t%s%s,%02x", cpu.ptrText, cpu.rmText, cpu.imm8);
    } else {
        setText(cpu, "%s\t%s%s", kUnaryMnemonics[cpu.regField], cpu.ptrText, cpu.rmText);
    }
}

template <class M>
void formatUnaryWord(Cpu& cpu) {
    if (takesImmediate(cpu.regField)) {
        cpu.imm16 = M::fetchWord(cpu);
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

template <class M>
void opGroupF6(Cpu& cpu) {
    decodeRmByte<M>(cpu);
    formatOperands8(cpu);
    formatUnaryByte(cpu);
    if (cpu.decodeOnly) return;
    switch (cpu.regField) {
        case kTest:
        case kTestAlias:
            cpu.result = cpu.rmValue & cpu.imm8;
            M::flagsLogic(cpu, false, cpu.result);
            break;
        case kNot:
            cpu.result = ~cpu.rmValue;
            storeRmByte(cpu);
            break;
        case kNeg:
            cpu.result = 0u - cpu.rmValue;
            storeRmByte(cpu);
            M::flagsSub(cpu, false, 0, cpu.rmValue, cpu.result);
            break;
        case kMul:
        case kImul: MultiplyDivide<M>::multiplyByte(cpu, cpu.regField == kImul); break;
        default: MultiplyDivide<M>::divideByte(cpu, cpu.regField == kIdiv); break;
    }
}

template <class M>
void opGroupF7(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    formatUnaryWord<M>(cpu);
    if (cpu.decodeOnly) return;
    switch (cpu.regField) {
        case kTest:
        case kTestAlias:
            cpu.result = cpu.rmValue & cpu.imm16;
            M::flagsLogic(cpu, true, cpu.result);
            break;
        case kNot:
            cpu.result = ~cpu.rmValue;
            storeRmWord<M>(cpu);
            break;
        case kNeg:
            cpu.result = 0u - cpu.rmValue;
            storeRmWord<M>(cpu);
            M::flagsSub(cpu, true, 0, cpu.rmValue, cpu.result);
            break;
        case kMul:
        case kImul: MultiplyDivide<M>::multiplyWord(cpu, cpu.regField == kImul); break;
        default: MultiplyDivide<M>::divideWord(cpu, cpu.regField == kIdiv); break;
    }
}

// The operand text is built before the immediate is taken: the immediate reuses imm8/imm16, where
// the operand text finds the displacement.
template <class M>
void opImulImm16(Cpu& cpu) {
    decodeRmWord<M>(cpu);
    formatOperands16(cpu);
    cpu.imm16 = M::fetchWord(cpu);
    setText(cpu, "imul\t%s,%s,%04x", cpu.regText, cpu.rmText, cpu.imm16);
    if (cpu.decodeOnly) return;
    multiplySignedByImmediate(cpu, static_cast<int16_t>(cpu.imm16));
}

template <class M>
void opImulImm8(Cpu& cpu) {
    decodeRmWord<M>(cpu);
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

// The 8086's AAM: the same division microcode, so a zero base is the divide error.
void opAam8086(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "aam\t%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    if (!exact8086::asciiAdjustMultiply(cpu, cpu.imm8)) raiseDivideError(cpu);
}

void opAad8086(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "aad\t%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    exact8086::asciiAdjustDivide(cpu, cpu.imm8);
}

VELKOR_FOR_BOTH_MODES(opGroupF6)
VELKOR_FOR_BOTH_MODES(opGroupF7)
VELKOR_FOR_BOTH_MODES(opImulImm16)
VELKOR_FOR_BOTH_MODES(opImulImm8)
