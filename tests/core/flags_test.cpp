#include "core/flags.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum class Rule { kLogic8, kLogic16, kAdd8, kAdd16, kSub8, kSub16, kInc8, kInc16, kDec8, kDec16 };

// Packed FLAGS bits, so a case can state all nine flags at once.
constexpr uint16_t CF = 0x001, PF = 0x004, AF = 0x010, ZF = 0x040, SF = 0x080, TF = 0x100, IF = 0x200,
                   DF = 0x400, OF = 0x800;
// The flags no arithmetic rule may touch.
constexpr uint16_t kUntouched = PF | AF | TF | IF | DF;

struct FlagCase {
    const char* name;
    Rule rule;
    uint32_t op1, op2, result;  // result untruncated, as the instruction computes it
    uint16_t before;            // CF going in (matters for INC/DEC and states ADC/SBB carry-in)
    uint16_t expected;          // CF ZF SF OF afterwards
};

void PrintTo(const FlagCase& c, std::ostream* os) { *os << c.name; }

// Results are written the way the instructions compute them: op1 + op2 (+ CF), op1 - op2 (- CF)
// in a 32-bit slot, so a borrow shows as a negative (wrapped) value.
constexpr uint32_t minus(int32_t v) { return static_cast<uint32_t>(v); }

const FlagCase kCases[] = {
    // Addition: carry out of the width, overflow when like signs give an unlike result.
    {"AddByteBothSignsOverflowToZero", Rule::kAdd8, 0x80, 0x80, 0x100, 0, CF | ZF | OF},
    {"AddByteCarryWithoutOverflow", Rule::kAdd8, 0xFF, 0xFF, 0x1FE, 0, CF | SF},
    {"AddBytePositiveOverflow", Rule::kAdd8, 0x7F, 0x01, 0x80, CF, SF | OF},
    {"AddWordPositiveOverflow", Rule::kAdd16, 0x7FFF, 0x0001, 0x8000, 0, SF | OF},
    {"AddWordCarryToZero", Rule::kAdd16, 0xFFFF, 0x0001, 0x10000, 0, CF | ZF},
    {"AddWordPlain", Rule::kAdd16, 0x1234, 0x0100, 0x1334, CF | ZF | SF | OF, 0},
    // ADC: the carry-in is in the result only; op2 keeps its own sign.
    {"AdcByteCarryInOverflows", Rule::kAdd8, 0x7F, 0x00, 0x7F + 0x00 + 1, CF, SF | OF},
    {"AdcWordCarryInCarriesOut", Rule::kAdd16, 0xFFFF, 0x0000, 0xFFFF + 0 + 1, CF, CF | ZF},
    // Subtraction: a negative result is a borrow; overflow when unlike signs give the subtrahend's sign.
    {"SubByteBorrow", Rule::kSub8, 0x00, 0x01, minus(-1), 0, CF | SF},
    {"SubByteNegativeOverflow", Rule::kSub8, 0x80, 0x01, 0x7F, CF, OF},
    {"SubByteEqualIsZero", Rule::kSub8, 0x42, 0x42, 0, CF | SF | OF, ZF},
    {"SubWordBorrowAndOverflow", Rule::kSub16, 0x0000, 0x8000, minus(-0x8000), 0, CF | SF | OF},
    {"SubWordNegativeOverflow", Rule::kSub16, 0x8000, 0x0001, 0x7FFF, 0, OF},
    {"SubWordLowestMinusHighestOverflows", Rule::kSub16, 0x8000, 0x7FFF, 0x0001, CF, OF},
    {"SubWordNoBorrowNoOverflow", Rule::kSub16, 0x1234, 0x0234, 0x1000, CF | ZF | SF | OF, 0},
    // SBB: the borrow-in is in the result only.
    {"SbbByteBorrowInWrapsToZero", Rule::kSub8, 0x00, 0xFF, minus(0 - 0xFF - 1), CF, CF | ZF},
    {"SbbWordBorrowIn", Rule::kSub16, 0x0000, 0x0000, minus(-1), CF, CF | SF},
    // NEG is the subtraction 0 - operand: CF unless the operand is 0, OF only for the lowest value.
    {"NegByteZero", Rule::kSub8, 0, 0x00, 0, CF, ZF},
    {"NegByteOne", Rule::kSub8, 0, 0x01, minus(-1), 0, CF | SF},
    {"NegByteLowest", Rule::kSub8, 0, 0x80, minus(-0x80), 0, CF | SF | OF},
    {"NegWordLowest", Rule::kSub16, 0, 0x8000, minus(-0x8000), 0, CF | SF | OF},
    {"NegWordZero", Rule::kSub16, 0, 0x0000, 0, CF | OF, ZF},
    // Logic: CF and OF cleared, ZF and SF from the result.
    {"LogicByteSign", Rule::kLogic8, 0, 0, 0x81, CF | OF, SF},
    {"LogicByteZero", Rule::kLogic8, 0, 0, 0x00, CF | OF | SF, ZF},
    {"LogicWordSign", Rule::kLogic16, 0, 0, 0x8000, CF | OF, SF},
    {"LogicWordZero", Rule::kLogic16, 0, 0, 0x0000, CF, ZF},
    // INC and DEC keep whatever CF was.
    {"IncWordWrapKeepsCarrySet", Rule::kInc16, 0xFFFF, 1, 0x10000, CF, CF | ZF},
    {"IncWordWrapKeepsCarryClear", Rule::kInc16, 0xFFFF, 1, 0x10000, 0, ZF},
    {"IncWordOverflow", Rule::kInc16, 0x7FFF, 1, 0x8000, CF, CF | SF | OF},
    {"IncByteWrap", Rule::kInc8, 0xFF, 1, 0x100, 0, ZF},
    {"IncByteOverflowKeepsCarry", Rule::kInc8, 0x7F, 1, 0x80, CF, CF | SF | OF},
    {"DecByteOverflowKeepsCarry", Rule::kDec8, 0x80, 1, 0x7F, CF, CF | OF},
    {"DecByteBelowZeroSetsNoCarry", Rule::kDec8, 0x00, 1, minus(-1), 0, SF},
    {"DecWordBelowZeroSetsNoCarry", Rule::kDec16, 0x0000, 1, minus(-1), 0, SF},
    {"DecWordToZeroKeepsCarry", Rule::kDec16, 0x0001, 1, 0, CF, CF | ZF},
    {"DecWordOverflow", Rule::kDec16, 0x8000, 1, 0x7FFF, 0, OF},
};

void apply(Cpu& cpu, const FlagCase& c) {
    switch (c.rule) {
        case Rule::kLogic8: flagsLogic8(cpu, c.result); break;
        case Rule::kLogic16: flagsLogic16(cpu, c.result); break;
        case Rule::kAdd8: flagsAdd8(cpu, c.op1, c.op2, c.result); break;
        case Rule::kAdd16: flagsAdd16(cpu, c.op1, c.op2, c.result); break;
        case Rule::kSub8: flagsSub8(cpu, c.op1, c.op2, c.result); break;
        case Rule::kSub16: flagsSub16(cpu, c.op1, c.op2, c.result); break;
        case Rule::kInc8: flagsInc8(cpu, c.op1, c.result); break;
        case Rule::kInc16: flagsInc16(cpu, c.op1, c.result); break;
        case Rule::kDec8: flagsDec8(cpu, c.op1, c.result); break;
        case Rule::kDec16: flagsDec16(cpu, c.op1, c.result); break;
    }
}

class FlagsRuleTest : public ::testing::TestWithParam<FlagCase> {};

// Each rule runs against both settings of the flags it must leave alone, so neither a stray
// clear nor a stray set goes unseen.
TEST_P(FlagsRuleTest, SetsStatusFlagsAndLeavesTheOthers) {
    const FlagCase& c = GetParam();
    for (uint16_t background : {uint16_t{0}, kUntouched}) {
        Cpu cpu;
        unpackFlags(cpu, c.before | background);
        apply(cpu, c);
        EXPECT_EQ(packFlags(cpu), c.expected | background) << "background " << std::hex << background;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FlagsRuleTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FlagsCarryKeeping, IncAndDecSaveAllNineFlagsInOrder) {
    Cpu cpu;
    unpackFlags(cpu, OF | TF | ZF | PF | CF);
    flagsDec16(cpu, 0x0005, 0x0004);
    const uint8_t expected[9] = {1, 0, 0, 1, 0, 1, 0, 1, 1};  // OF DF IF TF SF ZF AF PF CF
    for (int i = 0; i < 9; ++i) EXPECT_EQ(cpu.savedFlags[i], expected[i]) << "flag byte " << i;
    EXPECT_EQ(packFlags(cpu), TF | PF | CF);
}

}  // namespace
