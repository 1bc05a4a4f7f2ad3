// The exact 8086 mode's arithmetic: DAA, DAS, AAA, AAS, SALC and the shift/rotate group, each as a
// pure function of the processor state. Flags are written "OSZAPC" with '.' for a clear flag.
//
// Cases marked "recorded" copy processor states of a real Intel 80C86A from the SingleStepTests
// 8086 suite (https://github.com/SingleStepTests/8086, MIT licence, Copyright (c) Daniel Balsom).
// The others follow from the documented behaviour and the rules those recordings show.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/cpu.h"
#include "exec/exact_decimal.h"
#include "exec/exact_shift.h"

namespace {

constexpr const char kFlagLetters[] = "OSZAPC";

void setFlags(Cpu& cpu, const std::string& flags) {
    uint8_t* const members[6] = {&cpu.ofFlag, &cpu.sfFlag, &cpu.zfFlag, &cpu.afFlag, &cpu.pfFlag, &cpu.cfFlag};
    for (int i = 0; i < 6; ++i) *members[i] = flags.at(i) == kFlagLetters[i];
}

std::string flagsOf(const Cpu& cpu) {
    const uint8_t values[6] = {cpu.ofFlag, cpu.sfFlag, cpu.zfFlag, cpu.afFlag, cpu.pfFlag, cpu.cfFlag};
    std::string text;
    for (int i = 0; i < 6; ++i) text += values[i] ? kFlagLetters[i] : '.';
    return text;
}

// DF, IF and TF start set in every case: none of these instructions may touch them.
void setControlFlags(Cpu& cpu) { cpu.dfFlag = cpu.ifFlag = cpu.tfFlag = 1; }

void expectControlFlagsKept(const Cpu& cpu) {
    EXPECT_EQ(cpu.dfFlag, 1);
    EXPECT_EQ(cpu.ifFlag, 1);
    EXPECT_EQ(cpu.tfFlag, 1);
}

// ---- DAA, DAS, AAA, AAS, SALC: AX and the flags before and after

struct AdjustCase {
    const char* name;
    void (*instruction)(Cpu&);
    uint16_t ax;
    const char* flags;
    uint16_t axOut;
    const char* flagsOut;
};

const AdjustCase kAdjustCases[] = {
    // DAA: both corrections are decided from AL, AF and CF as they were, and added in one step
    // (OF, SF, ZF, PF from that addition).
    {"DaaLowDigitRecorded", exact8086::decimalAdjustAdd, 0x2C3B, "OS.A..", 0x2C41, "...AP."},
    {"DaaBothDigitsSetOverflowRecorded", exact8086::decimalAdjustAdd, 0x1751, "O.ZAPC", 0x17B7, "OS.APC"},
    {"DaaCarryAloneAddsSixtyRecorded", exact8086::decimalAdjustAdd, 0x0000, ".....C", 0x0060, "....PC"},
    {"DaaAl99NeedsNoCorrectionRecorded", exact8086::decimalAdjustAdd, 0x0999, "OS..P.", 0x0999, ".S..P."},
    {"DaaAl9ACorrectsBothDigits", exact8086::decimalAdjustAdd, 0x009A, "......", 0x0000, "..ZAPC"},
    // With AF set, the high digit is corrected only above 9F: 9A becomes A0 with CF clear (later
    // processors give 00 with CF set).
    {"DaaAl9AWithAfCorrectsTheLowDigitOnly", exact8086::decimalAdjustAdd, 0x009A, "...A..", 0x00A0, ".S.AP."},
    {"DaaAlA0WithAfCorrectsBothDigits", exact8086::decimalAdjustAdd, 0x00A0, "...A..", 0x0006, "...APC"},
    {"DaaAlFAWrapsAndSetsCarry", exact8086::decimalAdjustAdd, 0x00FA, "......", 0x0060, "...APC"},
    {"DaaCorrectionOverflows", exact8086::decimalAdjustAdd, 0x007A, ".....C", 0x00E0, "OS.A.C"},
    {"DaaLeavesAhAlone", exact8086::decimalAdjustAdd, 0xFF99, "...A..", 0xFF9F, ".S.AP."},

    // DAS: the same decisions, the correction subtracted in one step; the borrow of the low
    // correction alone does not set CF.
    {"DasLowBorrowLeavesCarryClearRecorded", exact8086::decimalAdjustSubtract, 0x4B00, "..ZA..", 0x4BFA, ".S.AP."},
    {"DasBothDigitsOverflowAsOneStepRecorded", exact8086::decimalAdjustSubtract, 0xBC84, "..ZAPC", 0xBC1E, "O..APC"},
    {"DasAl9ACorrectsBothDigits", exact8086::decimalAdjustSubtract, 0x009A, "......", 0x0034, "O..A.C"},
    {"DasAl9AWithAfCorrectsTheLowDigitOnly", exact8086::decimalAdjustSubtract, 0x009A, "...A..", 0x0094, ".S.A.."},
    {"DasAlA0CorrectsTheHighDigitOnly", exact8086::decimalAdjustSubtract, 0x00A0, "......", 0x0040, "O....C"},
    {"DasAl99NeedsNoCorrection", exact8086::decimalAdjustSubtract, 0x0099, "......", 0x0099, ".S..P."},

    // AAA/AAS: AL +/- 6 (flags from that byte step, before AL keeps only its low digit) and AH +/- 1
    // on its own: no carry or borrow passes from AL into AH.
    {"AaaCarriesIntoAhOnly", exact8086::asciiAdjustAdd, 0x00FA, "......", 0x0100, "..ZAPC"},
    {"AaaAhWrapsToZero", exact8086::asciiAdjustAdd, 0xFF0A, "......", 0x0000, "...A.C"},
    {"AaaAfAloneAdjustsRecorded", exact8086::asciiAdjustAdd, 0x0060, "...APC", 0x0106, "...APC"},
    {"AaaFlagsFromTheUnmaskedSumRecorded", exact8086::asciiAdjustAdd, 0x9FCC, "OS.A..", 0xA002, ".S.APC"},
    {"AaaNoAdjustmentClearsCarryRecorded", exact8086::asciiAdjustAdd, 0x4501, "OSZ..C", 0x4501, "......"},
    {"AaaAddingSixOverflows", exact8086::asciiAdjustAdd, 0x007A, "......", 0x0100, "OS.A.C"},
    {"AasBorrowsFromAhOnly", exact8086::asciiAdjustSubtract, 0x0000, "...A..", 0xFF0A, ".S.APC"},
    {"AasAfAloneAdjustsRecorded", exact8086::asciiAdjustSubtract, 0x0126, "OS.AP.", 0x0000, "...A.C"},
    {"AasNoAdjustmentRecorded", exact8086::asciiAdjustSubtract, 0x0000, "......", 0x0000, "..Z.P."},
    {"AasSubtractingSixOverflows", exact8086::asciiAdjustSubtract, 0x0080, "...A..", 0xFF0A, "O..A.C"},

    {"SalcWithCarry", exact8086::setAlFromCarry, 0x1234, ".....C", 0x12FF, ".....C"},
    {"SalcWithoutCarry", exact8086::setAlFromCarry, 0x12AB, "OSZAP.", 0x1200, "OSZAP."},
};

class ExactAdjustTest : public ::testing::TestWithParam<AdjustCase> {};

TEST_P(ExactAdjustTest, GivesAxAndEveryFlag) {
    const AdjustCase& c = GetParam();
    Cpu cpu;
    cpu.ax = c.ax;
    setFlags(cpu, c.flags);
    setControlFlags(cpu);
    c.instruction(cpu);
    EXPECT_EQ(cpu.ax, c.axOut);
    EXPECT_EQ(flagsOf(cpu), c.flagsOut);
    expectControlFlagsKept(cpu);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExactAdjustTest, ::testing::ValuesIn(kAdjustCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the shift/rotate group: value, count and flags before, value and flags after

enum : unsigned { kRol, kRor, kRcl, kRcr, kShl, kShr, kSetmo, kSar };

struct ShiftCase {
    const char* name;
    unsigned operation;
    bool word;
    uint32_t value;
    unsigned count;
    const char* flags;
    uint32_t valueOut;
    const char* flagsOut;
};

const ShiftCase kShiftCases[] = {
    // A count of 0 changes nothing at all.
    {"ShlByZero", kShl, true, 0x8000, 0, "O.Z.P.", 0x8000, "O.Z.P."},
    {"RcrByZero", kRcr, true, 0x0001, 0, ".....C", 0x0001, ".....C"},
    {"SetmoByZero", kSetmo, false, 0x12, 0, "..Z..C", 0x12, "..Z..C"},

    // One step: CF is the bit out, OF whether the top bit changed; rotates touch nothing else.
    {"RolBy1Overflows", kRol, false, 0x80, 1, ".SZAP.", 0x01, "OSZAPC"},
    {"RolBy1KeepsTheSign", kRol, false, 0xC0, 1, "......", 0x81, ".....C"},
    {"RorBy1", kRor, false, 0x01, 1, "......", 0x80, "O....C"},
    {"RorWordBy1Recorded", kRor, true, 0x696F, 1, "...A..", 0xB4B7, "O..A.C"},
    {"RclBy1TakesTheCarry", kRcl, true, 0x4000, 1, ".....C", 0x8001, "O....."},
    {"RclBy1Recorded", kRcl, false, 0x85, 1, "..ZA.C", 0x0B, "O.ZA.C"},
    {"RcrBy1TakesTheCarry", kRcr, false, 0x01, 1, ".....C", 0x80, "O....C"},
    // SHL is the ALU adding the operand to itself: AF from bit 3, SF/ZF/PF from the result.
    {"ShlBy1SetsAfFromBit3", kShl, false, 0x48, 1, "......", 0x90, "OS.AP."},
    {"ShlBy1NoOverflow", kShl, true, 0xC001, 1, "O.ZA..", 0x8002, ".S...C"},
    {"ShlWordBy1Recorded", kShl, true, 0x494C, 1, "..Z...", 0x9298, "OS.A.."},
    // SHR and SAR clear AF; SHR's OF is the old top bit, SAR's always clear.
    {"ShrBy1OverflowIsTheOldTopBit", kShr, false, 0x81, 1, "...A..", 0x40, "O....C"},
    {"ShrBy1Recorded", kShr, false, 0xC7, 1, "O..A..", 0x63, "O...PC"},
    {"SarBy1KeepsTheSign", kSar, true, 0x8001, 1, "O..A..", 0xC000, ".S..PC"},
    // SETMO: all ones, CF OF AF clear, SF ZF PF from the result.
    {"SetmoBy1", kSetmo, false, 0x12, 1, "O.ZA.C", 0xFF, ".S..P."},
    {"SetmoWordBy1Recorded", kSetmo, true, 0x2AE5, 1, "OSZAPC", 0xFFFF, ".S..P."},
    {"SetmocWordBy5", kSetmo, true, 0x1234, 5, "O.ZA.C", 0xFFFF, ".S..P."},

    // Counts up to and beyond the width: every step runs, OF as the last step leaves it.
    {"RolByteBy9", kRol, false, 0x81, 9, "......", 0x03, "O....C"},
    {"RolWordBy32Recorded", kRol, true, 0x8BC0, 32, ".S.AP.", 0x8BC0, "OS.AP."},
    {"RorWordBy17", kRor, true, 0x0001, 17, "......", 0x8000, "O....C"},
    {"RorWordBy56Recorded", kRor, true, 0x929A, 56, "OSZA.C", 0x9A92, "OSZA.C"},
    {"RclByteBy9GivesTheValueBack", kRcl, false, 0x5A, 9, ".....C", 0x5A, "O....C"},
    {"RclByteBy12Recorded", kRcl, false, 0x17, 12, "OSZAPC", 0xBC, "OSZAP."},
    {"RcrWordBy17GivesTheValueBack", kRcr, true, 0x8001, 17, "......", 0x8001, "O....."},
    {"RcrWordBy34Recorded", kRcr, true, 0xAA24, 34, "..ZAPC", 0xAA24, "O.ZAPC"},
    {"RcrWordBy255IsNotMasked", kRcr, true, 0x1234, 255, "......", 0x1234, "......"},
    {"ShlByteBy8LastBitOut", kShl, false, 0xFF, 8, "......", 0x00, "O.Z.PC"},
    {"ShlByteBy9PastTheWidth", kShl, false, 0xFF, 9, ".....C", 0x00, "..Z.P."},
    {"ShlWordBy20Recorded", kShl, true, 0x6AAD, 20, ".SZAP.", 0x0000, "..Z.P."},
    {"ShrWordBy16", kShr, true, 0x8000, 16, "......", 0x0000, "..Z.PC"},
    {"ShrByteBy200", kShr, false, 0xFF, 200, "OS.A.C", 0x00, "..Z.P."},
    {"SarByteBy200FillsWithTheSign", kSar, false, 0x80, 200, "..Z...", 0xFF, ".S..PC"},
    {"SarByteBy60Recorded", kSar, false, 0xFA, 60, "O...PC", 0xFF, ".S..PC"},
    {"SarWordBy32Recorded", kSar, true, 0x45D2, 32, "OSZA..", 0x0000, "..Z.P."},
};

class ExactShiftTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ExactShiftTest, GivesTheValueAndEveryFlag) {
    const ShiftCase& c = GetParam();
    Cpu cpu;
    setFlags(cpu, c.flags);
    setControlFlags(cpu);
    const uint32_t result = exact8086::shiftOrRotate(cpu, c.operation, c.value, c.count, c.word);
    EXPECT_EQ(result, c.valueOut);
    EXPECT_EQ(flagsOf(cpu), c.flagsOut);
    expectControlFlagsKept(cpu);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExactShiftTest, ::testing::ValuesIn(kShiftCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
