// The 8086's adjustments after BCD arithmetic, as the hardware sets AL, AH and the flags.
//
// DAA and DAS decide both corrections from AL, AF and CF as they were before the instruction: the
// low digit (6) when it is above 9 or AF is set, the high digit (0x60) when CF is set or AL is above
// 0x99, or above 0x9F when AF is set (so AL 9A-9F with AF set gets only the low correction, unlike
// later processors). The total correction is added to or subtracted from AL in one ALU step, which
// gives OF, SF, ZF and PF; AF and CF are then the two decisions (the carry or borrow of the low
// correction alone never reaches CF).
//
// AAA and AAS add or subtract 6 to or from AL alone (0 when no adjustment is due) in one byte ALU
// step, which gives OF, SF, ZF and PF from the full byte; AH is incremented or decremented on its
// own (no carry or borrow passes from AL into it); AF and CF are the decision; AL keeps its low digit.
#include "exec/exact_decimal.h"

#include <cstdint>

#include "core/flags_8086.h"

namespace exact8086 {

namespace {

uint8_t lowByte(uint16_t word) { return static_cast<uint8_t>(word & 0xFF); }
uint8_t highByte(uint16_t word) { return static_cast<uint8_t>(word >> 8); }
uint16_t joinBytes(uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); }

void setSignZeroParity(Cpu& cpu, uint8_t result) {
    cpu.sfFlag = result >> 7;
    cpu.zfFlag = result == 0;
    cpu.pfFlag = parityOf(result);
}

// Byte addition and subtraction as the ALU does them, OF/SF/ZF/PF from the 8-bit result.
uint8_t addByte(Cpu& cpu, uint8_t a, uint8_t b) {
    const auto r = static_cast<uint8_t>(a + b);
    cpu.ofFlag = ((r ^ a) & (r ^ b) & 0x80) != 0;
    setSignZeroParity(cpu, r);
    return r;
}

uint8_t subtractByte(Cpu& cpu, uint8_t a, uint8_t b) {
    const auto r = static_cast<uint8_t>(a - b);
    cpu.ofFlag = ((a ^ b) & (a ^ r) & 0x80) != 0;
    setSignZeroParity(cpu, r);
    return r;
}

// Which digits DAA and DAS correct.
struct Correction {
    bool low, high;
    uint8_t amount() const { return static_cast<uint8_t>((low ? 0x06 : 0) | (high ? 0x60 : 0)); }
};

Correction decimalCorrection(const Cpu& cpu, uint8_t al) {
    const bool low = (al & 0x0F) > 9 || cpu.afFlag;
    const bool high = cpu.cfFlag || al > (cpu.afFlag ? 0x9F : 0x99);
    return {low, high};
}

}  // namespace

void decimalAdjustAdd(Cpu& cpu) {
    const uint8_t al = lowByte(cpu.ax);
    const Correction c = decimalCorrection(cpu, al);
    const uint8_t result = addByte(cpu, al, c.amount());
    cpu.afFlag = c.low;
    cpu.cfFlag = c.high;
    cpu.ax = joinBytes(highByte(cpu.ax), result);
}

void decimalAdjustSubtract(Cpu& cpu) {
    const uint8_t al = lowByte(cpu.ax);
    const Correction c = decimalCorrection(cpu, al);
    const uint8_t result = subtractByte(cpu, al, c.amount());
    cpu.afFlag = c.low;
    cpu.cfFlag = c.high;
    cpu.ax = joinBytes(highByte(cpu.ax), result);
}

void asciiAdjustAdd(Cpu& cpu) {
    const uint8_t al = lowByte(cpu.ax);
    const bool adjust = (al & 0x0F) > 9 || cpu.afFlag;
    const uint8_t sum = addByte(cpu, al, adjust ? 6 : 0);
    const auto ah = static_cast<uint8_t>(highByte(cpu.ax) + (adjust ? 1 : 0));
    cpu.afFlag = cpu.cfFlag = adjust;
    cpu.ax = joinBytes(ah, sum & 0x0F);
}

void asciiAdjustSubtract(Cpu& cpu) {
    const uint8_t al = lowByte(cpu.ax);
    const bool adjust = (al & 0x0F) > 9 || cpu.afFlag;
    const uint8_t difference = subtractByte(cpu, al, adjust ? 6 : 0);
    const auto ah = static_cast<uint8_t>(highByte(cpu.ax) - (adjust ? 1 : 0));
    cpu.afFlag = cpu.cfFlag = adjust;
    cpu.ax = joinBytes(ah, difference & 0x0F);
}

void setAlFromCarry(Cpu& cpu) { cpu.ax = joinBytes(highByte(cpu.ax), cpu.cfFlag ? 0xFF : 0x00); }

}  // namespace exact8086
