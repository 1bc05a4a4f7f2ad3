// The exact 8086's multiply, divide and ASCII-adjust arithmetic, every flag included.
// The "recorded" cases are states of a real Intel 80C86A before and after one instruction, taken
// from the SingleStepTests 8086 suite (MIT licence); the others follow from the way the 8086's
// microcode computes (see exec/exact_multiply_divide.cpp).
#include "exec/exact_multiply_divide.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint16_t CF = 0x001, PF = 0x004, AF = 0x010, ZF = 0x040, SF = 0x080, TF = 0x100, IF = 0x200,
                   DF = 0x400, OF = 0x800;
constexpr uint16_t kArithmetic = OF | SF | ZF | AF | PF | CF;
// The flags none of these instructions may touch; every case also runs with them inverted.
constexpr uint16_t kControl = DF | IF | TF;

enum class Op { mulByte, imulByte, mulWord, imulWord, divByte, idivByte, divWord, idivWord, aam, aad };

// Runs one instruction's arithmetic; false is the divide error.
bool execute(Cpu& cpu, Op op, uint16_t operand, bool rep) {
    const auto byte = static_cast<uint8_t>(operand);
    switch (op) {
        case Op::mulByte: exact8086::multiplyByte(cpu, byte, false, rep); return true;
        case Op::imulByte: exact8086::multiplyByte(cpu, byte, true, rep); return true;
        case Op::mulWord: exact8086::multiplyWord(cpu, operand, false, rep); return true;
        case Op::imulWord: exact8086::multiplyWord(cpu, operand, true, rep); return true;
        case Op::divByte: return exact8086::divideByte(cpu, byte, false, rep);
        case Op::idivByte: return exact8086::divideByte(cpu, byte, true, rep);
        case Op::divWord: return exact8086::divideWord(cpu, operand, false, rep);
        case Op::idivWord: return exact8086::divideWord(cpu, operand, true, rep);
        case Op::aam: return exact8086::asciiAdjustMultiply(cpu, byte);
        case Op::aad: exact8086::asciiAdjustDivide(cpu, byte); return true;
    }
    return false;
}

struct Case {
    const char* name;
    Op op;
    bool rep;
    uint16_t ax, dx, operand, flagsBefore;
    bool divideError;
    uint16_t axAfter, dxAfter;
    // FLAGS as the 8086 stores it (bits 1 and 12-15 set): after the instruction, or on a divide
    // error the word the interrupt pushes.
    uint16_t flagsAfter;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ExactMultiplyDivideTest : public ::testing::TestWithParam<Case> {
protected:
    Cpu cpu;
};

TEST_P(ExactMultiplyDivideTest, EndsWithTheRegistersAndEveryFlag) {
    const Case& c = GetParam();
    for (const uint16_t inverted : {uint16_t{0}, kControl}) {
        cpu.ax = c.ax;
        cpu.dx = c.dx;
        unpackFlags(cpu, c.flagsBefore ^ inverted);
        EXPECT_EQ(!execute(cpu, c.op, c.operand, c.rep), c.divideError);
        EXPECT_EQ(cpu.ax, c.axAfter);
        EXPECT_EQ(cpu.dx, c.dxAfter);
        EXPECT_EQ(packFlags8086(cpu), (c.flagsAfter | kFlagsAlwaysSet8086) ^ inverted)
            << std::hex << packFlags8086(cpu);
    }
}

// Multiply: CF = OF = the high half is needed. SF, ZF and PF come from the final check, which adds
// the low half's sign bit to the high half for IMUL (AF is that addition's carry out of bit 3) and
// passes the high half alone for MUL.
INSTANTIATE_TEST_SUITE_P(Multiply, ExactMultiplyDivideTest, ::testing::Values(
    Case{"MulFitsInAl", Op::mulByte, false, 0x330F, 0x1111, 0x11, kArithmetic, false, 0x00FF, 0x1111, ZF | PF},
    Case{"MulSpillsIntoAh", Op::mulByte, false, 0x0080, 0, 0x02, 0, false, 0x0100, 0, CF | OF},
    Case{"MulLargestBytes", Op::mulByte, false, 0x00FF, 0, 0xFF, 0, false, 0xFE01, 0, CF | OF | SF},
    Case{"MulWordFits", Op::mulWord, false, 0x1234, 0xFFFF, 0x0002, kArithmetic, false, 0x2468, 0, ZF | PF},
    Case{"MulLargestWords", Op::mulWord, false, 0xFFFF, 0, 0xFFFF, 0, false, 0x0001, 0xFFFE, CF | OF | SF},
    Case{"ImulNegativeFits", Op::imulByte, false, 0xB438, 0, 0xFF, 0, false, 0xFFC8, 0, ZF | AF | PF},
    Case{"ImulPositiveTooWide", Op::imulByte, false, 0x007F, 0, 0x02, kArithmetic, false, 0x00FE, 0, CF | OF},
    Case{"ImulMinTimesMin", Op::imulByte, false, 0x0080, 0, 0x80, 0, false, 0x4000, 0, CF | OF},
    Case{"ImulMinTimesOne", Op::imulByte, false, 0x0080, 0, 0x01, 0, false, 0xFF80, 0, ZF | AF | PF},
    Case{"ImulWordMinTimesMin", Op::imulWord, false, 0x8000, 0, 0x8000, 0, false, 0x0000, 0x4000, CF | OF | PF},
    Case{"ImulWordMinusOneSquared", Op::imulWord, false, 0xFFFF, 0x1234, 0xFFFF, 0, false, 0x0001, 0, ZF | PF},
    Case{"ImulWordNegativeFits", Op::imulWord, false, 0xFFFE, 0, 0x0003, 0,
        false, 0xFFFA, 0xFFFF, ZF | AF | PF},
    // A REP prefix leaves the microcode's sign flag set: the product comes out negated.
    Case{"RepImulNegates", Op::imulByte, true, 0x0003, 0, 0x05, 0, false, 0xFFF1, 0, ZF | AF | PF},
    Case{"RepImulNegativeFactor", Op::imulByte, true, 0x00FD, 0, 0x05, 0, false, 0x000F, 0, ZF | PF},
    Case{"RepImulWord", Op::imulWord, true, 0x7FFF, 0, 0x7FFF, 0, false, 0xFFFF, 0xC000, CF | OF | SF}),
    [](const auto& info) { return std::string(info.param.name); });

// A divide error pushes the flags of the last subtraction the divide routine made: the check
// before the loop (the dividend's high half, made positive for IDIV, minus the divisor), or for a
// signed quotient too large for its sign the last step of the loop. Either way CF ends clear.
INSTANTIATE_TEST_SUITE_P(DivideError, ExactMultiplyDivideTest, ::testing::Values(
    Case{"DivByteByZero", Op::divByte, false, 0x1234, 0, 0, kArithmetic, true, 0x1234, 0, PF},
    Case{"DivWordByZero", Op::divWord, false, 0x0005, 0x0000, 0, kArithmetic, true, 0x0005, 0, ZF | PF},
    Case{"IdivByteByZero", Op::idivByte, false, 0xFF00, 0, 0, kArithmetic, true, 0xFF00, 0, 0},
    Case{"IdivWordByZero", Op::idivWord, false, 0x0000, 0x8000, 0, 0, true, 0x0000, 0x8000, SF | PF},
    Case{"DivQuotientTooWide", Op::divByte, false, 0x8000, 0, 0x01, 0, true, 0x8000, 0, OF | AF},
    Case{"IdivMinus128", Op::idivByte, false, 0xFF80, 0, 0x01, 0, true, 0xFF80, 0, SF | AF | PF},
    Case{"IdivPlus128", Op::idivByte, false, 0x0080, 0, 0x01, kArithmetic, true, 0x0080, 0, SF | AF | PF},
    Case{"IdivWordMinus32768", Op::idivWord, false, 0x8000, 0xFFFF, 0x0001, 0,
        true, 0x8000, 0xFFFF, SF | AF | PF},
    Case{"AamZero", Op::aam, false, 0x1234, 0, 0, kArithmetic, true, 0x1234, 0, ZF | PF}),
    [](const auto& info) { return std::string(info.param.name); });

// AAM: the remainder's SF, ZF and PF (of AL alone), OF, AF and CF cleared. AAD: the flags of AL
// added to the low byte of AH x base.
INSTANTIATE_TEST_SUITE_P(AsciiAdjust, ExactMultiplyDivideTest, ::testing::Values(
    Case{"AamTens", Op::aam, false, 0x773F, 0, 10, kArithmetic, false, 0x0603, 0, PF},
    Case{"AamNoRemainder", Op::aam, false, 0x005A, 0, 10, 0, false, 0x0900, 0, ZF | PF},
    Case{"AamOneMovesAlToAh", Op::aam, false, 0x1280, 0, 1, 0, false, 0x8000, 0, ZF | PF},
    Case{"AamSignFromAl", Op::aam, false, 0x00BF, 0, 0xC0, 0, false, 0x00BF, 0, SF},
    Case{"AadTens", Op::aad, false, 0x0905, 0, 10, kArithmetic, false, 0x005F, 0, PF},
    Case{"AadKeepsTheLowByte", Op::aad, false, 0x1A07, 0, 10, 0, false, 0x000B, 0, 0},
    Case{"AadCarries", Op::aad, false, 0xFFFF, 0, 0xFF, 0, false, 0x0000, 0, CF | AF | ZF | PF},
    Case{"AadZeroBase", Op::aad, false, 0x1234, 0, 0, kArithmetic, false, 0x0034, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Recorded on the 80C86A (test numbers of the suite's files in the names).
INSTANTIATE_TEST_SUITE_P(Recorded, ExactMultiplyDivideTest, ::testing::Values(
    Case{"ImulByte_F6_5_1325", Op::imulByte, false, 0xB438, 0xA792, 0xFF, 0xFCD7,
        false, 0xFFC8, 0xA792, 0xF456},
    Case{"ImulWord_F7_5_25", Op::imulWord, false, 0xE003, 0x4F8E, 0x427A, 0xF013,
        false, 0x876E, 0xF7B1, 0xF887},
    Case{"DivByte_F6_6_925", Op::divByte, false, 0xAC71, 0xA569, 0xFF, 0xFCD6,
        false, 0x1EAD, 0xA569, 0xF492},
    Case{"DivByteTooWide_F6_6_75", Op::divByte, false, 0xF33E, 0xF1F7, 0xAC, 0xF082,
        true, 0xF33E, 0xF1F7, 0xF016},
    Case{"DivWordTooWide_F7_6_325", Op::divWord, false, 0x7D62, 0xDB30, 0x7BB4, 0xF052,
        true, 0x7D62, 0xDB30, 0xF812},
    Case{"IdivByteAbove127_F6_7_1175", Op::idivByte, false, 0xD003, 0, 0xD0, 0xF003,
        true, 0xD003, 0, 0xF006},
    Case{"RepIdivByteBelowMinus127_F6_7_1875", Op::idivByte, true, 0xA78D, 0x30C7, 0x7E, 0xFC92,
        true, 0xA78D, 0x30C7, 0xFC16},
    Case{"IdivWordBelowMinus32767_F7_7_825", Op::idivWord, false, 0x78AD, 0x3437, 0x97F7, 0xFC17,
        true, 0x78AD, 0x3437, 0xFC16},
    Case{"RepIdivWordNegatesQuotient_F7_7_1375", Op::idivWord, true, 0xE607, 0x0000, 0xFF2C, 0xF092,
        false, 0x0115, 0x00A3, 0xF006},
    Case{"Aam_D4_975", Op::aam, false, 0x0BD0, 0x53C5, 0xD2, 0xF457,
        false, 0x00D0, 0x53C5, 0xF482},
    Case{"Aad_D5_25", Op::aad, false, 0x336C, 0xC54E, 0x3E, 0xF017,
        false, 0x00C6, 0xC54E, 0xF896}),
    [](const auto& info) { return std::string(info.param.name); });

// Quotient and remainder at the edges of their ranges; the loop's flags are not restated here, but a
// signed result ends with CF and OF clear and a divide error with CF clear and the registers kept.
struct Division {
    const char* name;
    Op op;
    bool rep;
    uint16_t ax, dx, divisor;
    bool divideError;
    uint16_t axAfter, dxAfter;
};

TEST(ExactDivide, QuotientLimitsAndSigns) {
    const Division cases[] = {
        {"div byte", Op::divByte, false, 0x0064, 0, 7, false, 0x020E, 0},
        {"div byte: largest quotient", Op::divByte, false, 0xFEFF, 0, 0xFF, false, 0xFEFF, 0},
        {"div byte: quotient 256", Op::divByte, false, 0xFFFF, 0, 0xFF, true, 0xFFFF, 0},
        {"div word", Op::divWord, false, 0x0000, 0x0001, 2, false, 0x8000, 0},
        {"div word: largest quotient", Op::divWord, false, 0xFFFF, 0xFFFE, 0xFFFF, false, 0xFFFF, 0xFFFE},
        {"div word: quotient 65536", Op::divWord, false, 0x0000, 0xFFFF, 0xFFFF, true, 0x0000, 0xFFFF},
        {"rep div: unsigned, unchanged", Op::divByte, true, 0x0064, 0, 7, false, 0x020E, 0},
        {"idiv byte: 127", Op::idivByte, false, 0x007F, 0, 1, false, 0x007F, 0},
        {"idiv byte: -127", Op::idivByte, false, 0xFF81, 0, 1, false, 0x0081, 0},
        {"idiv byte: -128 rejected", Op::idivByte, false, 0xFF80, 0, 1, true, 0xFF80, 0},
        {"idiv byte: 128 / -1 rejected", Op::idivByte, false, 0x0080, 0, 0xFF, true, 0x0080, 0},
        {"idiv byte: -32768 / -1", Op::idivByte, false, 0x8000, 0, 0xFF, true, 0x8000, 0},
        {"idiv byte: remainder takes the dividend's sign", Op::idivByte, false, 0xFFF9, 0, 2, false, 0xFFFD, 0},
        {"idiv byte: negative divisor", Op::idivByte, false, 0x0007, 0, 0xFE, false, 0x01FD, 0},
        {"idiv word: 32767", Op::idivWord, false, 0x7FFF, 0x0000, 1, false, 0x7FFF, 0},
        {"idiv word: -32767", Op::idivWord, false, 0x8001, 0xFFFF, 1, false, 0x8001, 0},
        {"idiv word: -32768 rejected", Op::idivWord, false, 0x8000, 0xFFFF, 1, true, 0x8000, 0xFFFF},
        {"idiv word: 32768 / -1 rejected", Op::idivWord, false, 0x8000, 0x0000, 0xFFFF, true, 0x8000, 0x0000},
        {"idiv word: most negative dividend", Op::idivWord, false, 0x0000, 0x8000, 0xFFFF, true, 0x0000, 0x8000},
        {"rep idiv byte: quotient negated", Op::idivByte, true, 0x0064, 0, 7, false, 0x02F2, 0},
        {"rep idiv byte: negative dividend", Op::idivByte, true, 0xFF9C, 0, 7, false, 0xFE0E, 0},
        {"rep idiv byte: 127 becomes -127", Op::idivByte, true, 0x007F, 0, 1, false, 0x0081, 0},
        {"rep idiv byte: -128 still rejected", Op::idivByte, true, 0xFF80, 0, 1, true, 0xFF80, 0},
        {"rep idiv word: quotient negated", Op::idivWord, true, 0x03E8, 0, 0xFFFD, false, 0x014D, 1},
    };
    Cpu cpu;
    for (const Division& c : cases) {
        SCOPED_TRACE(c.name);
        cpu.ax = c.ax;
        cpu.dx = c.dx;
        unpackFlags(cpu, kArithmetic);
        const bool ok = execute(cpu, c.op, c.divisor, c.rep);
        EXPECT_EQ(!ok, c.divideError);
        EXPECT_EQ(cpu.ax, c.axAfter);
        EXPECT_EQ(cpu.dx, c.dxAfter);
        const bool isSigned = c.op == Op::idivByte || c.op == Op::idivWord;
        if (!ok) {
            EXPECT_EQ(cpu.cfFlag, 0);
        } else if (isSigned) {
            EXPECT_EQ(cpu.cfFlag | cpu.ofFlag, 0);
        }
    }
}

}  // namespace
