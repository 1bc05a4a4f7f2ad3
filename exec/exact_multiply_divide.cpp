// The exact 8086's MUL, IMUL, DIV, IDIV, AAM and AAD, taken step for step as its microcode takes
// them. The microcode works on three hidden registers (tmpA, tmpB, tmpC) at the instruction's width
// and on an internal sign flag (F1):
// - an ALU step changes the visible flags only when its micro-instruction says so (the F bit), and
//   then all six arithmetic flags at once;
// - the rotates through carry always move a bit through the visible CF: that is how the loops pass
//   bits between tmpA and tmpC, and how a multiply or divide ends with CF holding whatever the last
//   rotate left there;
// - F1 records the sign of a signed result. A REP prefix leaves F1 set as the instruction starts,
//   so IMUL and IDIV under REP deliver the negated product or quotient.
// The divide routine checks before its loop that the quotient fits, by a subtraction whose flags it
// keeps; a divide error therefore pushes flags set by real arithmetic, not arbitrary values.
#include "exec/exact_multiply_divide.h"

#include "core/flags_8086.h"

namespace exact8086 {
namespace {

// Whether an ALU step writes the visible flags (the micro-instruction's F bit).
enum class Flags : bool { keep, update };

class Microcode {
public:
    // f1: the sign flag as the instruction starts (set by a REP prefix).
    Microcode(Cpu& cpu, bool word, bool f1)
        : cpu_(cpu), width_(word ? 16 : 8), mask_(word ? 0xFFFF : 0xFF), sign_(word ? 0x8000 : 0x80), f1_(f1) {}

    uint16_t tmpA = 0, tmpB = 0, tmpC = 0;

    // MUL's and IMUL's body once the operands are loaded (AL or AX in tmpC, the factor in tmpB):
    // the product ends in tmpA (high half) and tmpC (low half).
    // Only the signed path consults F1.
    void multiply(bool isSigned) {
        if (isSigned) takeMagnitudesForMultiply();
        multiplyCore();
        if (isSigned) {
            if (f1_) negateDouble();
            setMultiplyFlags(signedCheck());
        } else {
            setMultiplyFlags(add(tmpA, 0, 0, Flags::update));
        }
    }

    // DIV's and IDIV's body once the operands are loaded (the dividend's halves in tmpA and tmpC,
    // the divisor in tmpB). Returns false on the divide error; otherwise the quotient comes back
    // through quotient and the remainder is in tmpA.
    bool divide(bool isSigned, uint16_t& quotient) {
        const uint16_t dividendHigh = tmpA;
        if (isSigned) takeMagnitudesForDivide();
        if (!divideCore()) return false;
        if (!isSigned) {
            quotient = complement(tmpC);
            return true;
        }
        return finishSignedDivide(dividendHigh, quotient);
    }

    // AAM's body on the base in tmpB: the divide routine on 0:AL. Only base 0 fails its check.
    // Returns false on the divide error; otherwise the quotient comes back through quotient and
    // the remainder is in tmpA.
    bool adjustAfterMultiply(uint8_t al, uint16_t& quotient) {
        tmpA = 0;
        tmpC = al;
        if (!divideCore()) return false;
        quotient = complement(tmpC);
        // The remainder passes through the ALU as a logic operation does.
        setResultFlags(tmpA);
        cpu_.ofFlag = cpu_.afFlag = cpu_.cfFlag = 0;
        return true;
    }

    // AAD's body on the base in tmpB: the multiply routine on AH x base, then AL added to the
    // product's low byte, which sets the flags. Returns the new AL.
    uint16_t adjustBeforeDivide(uint8_t ah, uint8_t al) {
        tmpC = ah;
        multiplyCore();
        return add(tmpC, al, 0, Flags::update);
    }

private:
    Cpu& cpu_;
    const unsigned width_;
    const uint16_t mask_;
    const uint16_t sign_;
    bool f1_;

    bool isNegative(uint16_t value) const { return (value & sign_) != 0; }
    uint16_t complement(uint16_t value) const { return static_cast<uint16_t>(~value & mask_); }
    uint16_t negate(uint16_t value) const { return subtract(0, value, Flags::keep); }

    uint16_t rotateLeft(uint16_t value) {
        const uint16_t result = static_cast<uint16_t>((value << 1 | cpu_.cfFlag) & mask_);
        cpu_.cfFlag = isNegative(value);
        return result;
    }

    uint16_t rotateRight(uint16_t value) {
        const uint16_t result = static_cast<uint16_t>(value >> 1 | (cpu_.cfFlag ? sign_ : 0));
        cpu_.cfFlag = value & 1;
        return result;
    }

    // SF, ZF and PF of a result at the current width (PF counts the low byte, as always).
    void setResultFlags(uint16_t result) const {
        cpu_.sfFlag = isNegative(result);
        cpu_.zfFlag = result == 0;
        cpu_.pfFlag = parityOf(result);
    }

    uint16_t add(uint16_t a, uint16_t b, unsigned carryIn, Flags flags) const {
        const uint32_t sum = static_cast<uint32_t>(a) + b + carryIn;
        const uint16_t result = static_cast<uint16_t>(sum & mask_);
        if (flags == Flags::update) {
            cpu_.cfFlag = sum > mask_;
            cpu_.afFlag = auxiliaryCarryOf(a, b, sum);
            cpu_.ofFlag = ((a ^ result) & (b ^ result) & sign_) != 0;
            setResultFlags(result);
        }
        return result;
    }

    uint16_t subtract(uint16_t a, uint16_t b, Flags flags) const {
        const uint32_t difference = static_cast<uint32_t>(a) - b;
        const uint16_t result = static_cast<uint16_t>(difference & mask_);
        if (flags == Flags::update) {
            cpu_.cfFlag = a < b;
            cpu_.afFlag = auxiliaryCarryOf(a, b, difference);
            cpu_.ofFlag = ((a ^ b) & (a ^ result) & sign_) != 0;
            setResultFlags(result);
        }
        return result;
    }

    // CORX: tmpA:tmpC = tmpC x tmpB, unsigned, by shift and add from the multiplier's low bit. The
    // multiplier rotates out of tmpC through the carry while the product's low half rotates in.
    void multiplyCore() {
        tmpA = 0;
        tmpC = rotateRight(tmpC);
        for (unsigned step = 0; step < width_; ++step) {
            if (cpu_.cfFlag) tmpA = add(tmpA, tmpB, 0, Flags::update);  // the carry out is the top bit
            tmpA = rotateRight(tmpA);
            tmpC = rotateRight(tmpC);
        }
    }

    // CORD: tmpA:tmpC / tmpB, unsigned, by shift and subtract. Returns false when the quotient
    // cannot fit (tmpA >= tmpB, found by a subtraction whose flags stay). Afterwards tmpC holds the
    // quotient's ones' complement (each step's borrow is its bit), tmpA the remainder, and CF the
    // complemented quotient's top bit.
    bool divideCore() {
        subtract(tmpA, tmpB, Flags::update);
        if (!cpu_.cfFlag) return false;
        // That check's borrow (1) is the first bit rotated into tmpC; it leaves again at the end.
        for (unsigned step = 0; step < width_; ++step) {
            tmpC = rotateLeft(tmpC);
            tmpA = rotateLeft(tmpA);
            if (cpu_.cfFlag) {
                // The running remainder overflowed its width, so it is above the divisor: subtract
                // without comparing, and clear the carry (the complemented quotient bit 0).
                cpu_.cfFlag = 0;
                tmpA = subtract(tmpA, tmpB, Flags::keep);
            } else {
                const uint16_t difference = subtract(tmpA, tmpB, Flags::update);
                if (!cpu_.cfFlag) tmpA = difference;
            }
        }
        tmpC = rotateLeft(tmpC);
        rotateLeft(tmpC);  // only the carry is kept: the complemented quotient's top bit
        return true;
    }

    // NEGATE: tmpA:tmpC = -(tmpA:tmpC). The low half's negation sets the flags; its borrow says
    // whether the high half is complemented (the low half was not zero) or negated. F1 toggles.
    void negateDouble() {
        tmpC = subtract(0, tmpC, Flags::update);
        tmpA = cpu_.cfFlag ? complement(tmpA) : negate(tmpA);
        f1_ = !f1_;
    }

    // A sign is read by rotating it into the carry; a negative value is negated and F1 toggled.
    void takeMagnitude(uint16_t& value) {
        rotateLeft(value);
        if (cpu_.cfFlag) {
            value = negate(value);
            f1_ = !f1_;
        }
    }

    // PREIMUL: both factors made positive.
    void takeMagnitudesForMultiply() {
        takeMagnitude(tmpC);
        takeMagnitude(tmpB);
    }

    // PREIDIV: the dividend (tmpA:tmpC) and the divisor made positive.
    void takeMagnitudesForDivide() {
        rotateLeft(tmpA);
        if (cpu_.cfFlag) negateDouble();
        takeMagnitude(tmpB);
    }

    // POSTIDIV. The unsigned quotient must leave the sign bit clear (so -128 and -32768 fault too);
    // the remainder takes the dividend's sign, the quotient F1's. CF and OF end cleared.
    bool finishSignedDivide(uint16_t dividendHigh, uint16_t& quotient) {
        if (!cpu_.cfFlag) return false;
        rotateLeft(dividendHigh);
        if (cpu_.cfFlag) tmpA = negate(tmpA);
        // tmpC is the magnitude's complement: one more is the magnitude negated.
        quotient = f1_ ? static_cast<uint16_t>((tmpC + 1) & mask_) : complement(tmpC);
        cpu_.cfFlag = cpu_.ofFlag = 0;
        return true;
    }

    // IMULCOF's test: the high half plus the low half's sign bit is zero exactly when the high half
    // only extends the low half's sign. That addition sets the flags.
    uint16_t signedCheck() {
        rotateLeft(tmpC);
        return add(tmpA, 0, cpu_.cfFlag, Flags::update);
    }

    // CF = OF = the product needs its high half (the check came out nonzero).
    void setMultiplyFlags(uint16_t check) const { cpu_.cfFlag = cpu_.ofFlag = check != 0; }
};

uint8_t lowByte(uint16_t word) { return static_cast<uint8_t>(word); }
uint8_t highByte(uint16_t word) { return static_cast<uint8_t>(word >> 8); }
uint16_t joinBytes(uint16_t high, uint16_t low) {
    return static_cast<uint16_t>((high & 0xFF) << 8 | (low & 0xFF));
}

}  // namespace

void multiplyByte(Cpu& cpu, uint8_t factor, bool isSigned, bool repPrefixed) {
    Microcode m(cpu, false, repPrefixed);
    m.tmpC = lowByte(cpu.ax);
    m.tmpB = factor;
    m.multiply(isSigned);
    cpu.ax = joinBytes(m.tmpA, m.tmpC);
}

void multiplyWord(Cpu& cpu, uint16_t factor, bool isSigned, bool repPrefixed) {
    Microcode m(cpu, true, repPrefixed);
    m.tmpC = cpu.ax;
    m.tmpB = factor;
    m.multiply(isSigned);
    cpu.dx = m.tmpA;
    cpu.ax = m.tmpC;
}

bool divideByte(Cpu& cpu, uint8_t divisor, bool isSigned, bool repPrefixed) {
    Microcode m(cpu, false, repPrefixed);
    m.tmpA = highByte(cpu.ax);
    m.tmpC = lowByte(cpu.ax);
    m.tmpB = divisor;
    uint16_t quotient = 0;
    if (!m.divide(isSigned, quotient)) return false;
    cpu.ax = joinBytes(m.tmpA, quotient);
    return true;
}

bool divideWord(Cpu& cpu, uint16_t divisor, bool isSigned, bool repPrefixed) {
    Microcode m(cpu, true, repPrefixed);
    m.tmpA = cpu.dx;
    m.tmpC = cpu.ax;
    m.tmpB = divisor;
    uint16_t quotient = 0;
    if (!m.divide(isSigned, quotient)) return false;
    cpu.ax = quotient;
    cpu.dx = m.tmpA;
    return true;
}

bool asciiAdjustMultiply(Cpu& cpu, uint8_t base) {
    Microcode m(cpu, false, false);
    m.tmpB = base;
    uint16_t quotient = 0;
    if (!m.adjustAfterMultiply(lowByte(cpu.ax), quotient)) return false;
    cpu.ax = joinBytes(quotient, m.tmpA);
    return true;
}

void asciiAdjustDivide(Cpu& cpu, uint8_t base) {
    Microcode m(cpu, false, false);
    m.tmpB = base;
    cpu.ax = m.adjustBeforeDivide(highByte(cpu.ax), lowByte(cpu.ax));
}

}  // namespace exact8086
