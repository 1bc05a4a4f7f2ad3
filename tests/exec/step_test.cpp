// step itself: prefixes, the undefined encodings, coverage and the prefix-chain bound.
#include "exec/step.h"

#include <gtest/gtest.h>

#include "support/machine.h"

namespace {

struct TextOnlyCase {
    std::vector<uint8_t> bytes;
    const char* text;
    uint16_t length;
};

class TextOnlyEncodings : public ::testing::TestWithParam<TextOnlyCase> {};

TEST_P(TextOnlyEncodings, TakeTheirBytesShowTheirTextChangeNothing) {
    TestMachine m;
    const TextOnlyCase& c = GetParam();
    for (size_t i = 0; i < c.bytes.size(); ++i) m.poke(0x100 + static_cast<uint32_t>(i), {c.bytes[i]});
    m.cpu.ax = 0x1234;
    const uint16_t flags = packFlags(m.cpu);
    m.run();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, 0x100 + c.length);
    EXPECT_EQ(m.cpu.ax, 0x1234);
    EXPECT_EQ(packFlags(m.cpu), flags);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextOnlyEncodings,
                         ::testing::Values(TextOnlyCase{{0x62}, "???", 1}, TextOnlyCase{{0x65}, "???", 1},
                                           TextOnlyCase{{0xD8, 0xC0}, "esc00", 1},
                                           TextOnlyCase{{0xDF, 0xC0}, "esc07", 1},
                                           TextOnlyCase{{0x0F, 0x05}, "ext", 2},
                                           TextOnlyCase{{0x0F, 0x7F}, "ext", 2},
                                           TextOnlyCase{{0x0F, 0x90}, "ext", 2}, TextOnlyCase{{0xF0}, "lock", 1},
                                           TextOnlyCase{{0xF1}, "icebp", 1}));

TEST(Prefixes, SegmentOverrideAppliesToTheNextInstructionOnly) {
    TestMachine m;
    m.cpu.cs = 0x0000;
    m.cpu.bx = 0x0200;
    m.cpu.ds = 0x0100;
    m.poke(0x0200, {0x34, 0x12});  // CS:0200
    m.poke(0x1200, {0x78, 0x56});  // DS:0200
    m.code({0x2E, 0x8B, 0x07, 0x8B, 0x0F});  // mov ax,cs:[bx] ; mov cx,[bx]
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x1234);
    EXPECT_EQ(m.text(), "mov\tax,cs:[bx]");
    EXPECT_EQ(m.cpu.segOverride, 0);
    m.run();
    EXPECT_EQ(m.cpu.cx, 0x5678);
    EXPECT_EQ(m.text(), "mov\tcx,[bx]");
}

TEST(Prefixes, RepeatWordsComeBeforeTheInstructionText) {
    TestMachine m;
    m.code({0xF3, 0x90, 0xF2, 0x90, 0xF3, 0x26, 0x90, 0xF3, 0xF2, 0x90});
    m.run();
    EXPECT_EQ(m.text(), "rep nop");
    m.run();
    EXPECT_EQ(m.text(), "repnz nop");
    m.run();
    EXPECT_EQ(m.text(), "rep nop");
    m.run();
    EXPECT_EQ(m.text(), "rep repnz nop");
    EXPECT_EQ(m.cpu.ip, 0x10A);
    EXPECT_EQ(m.cpu.repPrefix, 0);
    EXPECT_EQ(m.cpu.repnzPrefix, 0);
}

TEST(Prefixes, SizePrefixesChangeNothing) {
    TestMachine m;
    m.code({0x66, 0x40, 0x67, 0x40});
    m.run();
    EXPECT_EQ(m.text(), "inc\tax");
    EXPECT_EQ(m.cpu.ax, 1);
    EXPECT_EQ(m.cpu.ip, 0x102);
    m.run();
    EXPECT_EQ(m.cpu.ax, 2);
}

TEST(Prefixes, CoverageRecordsEveryPrefixLevel) {
    TestMachine m;
    m.cpu.coverageOn = 1;
    m.code({0x26, 0x2E, 0x90});
    m.run();
    EXPECT_EQ(m.cpu.CodeCoverage.size(), 3u);
    EXPECT_TRUE(m.cpu.CodeCoverage.contains(0x100));
    EXPECT_TRUE(m.cpu.CodeCoverage.contains(0x101));
    EXPECT_TRUE(m.cpu.CodeCoverage.contains(0x102));
}

TEST(Prefixes, DecodeOnlyStillRecordsCoverage) {
    TestMachine m;
    m.cpu.coverageOn = 1;
    m.cpu.bx = 0x10;
    m.code({0x8B, 0x07});
    m.decode();
    EXPECT_TRUE(m.cpu.CodeCoverage.contains(0x100));
    EXPECT_TRUE(m.cpu.DataCoverage.contains(0x10));
    EXPECT_EQ(m.cpu.ax, 0);
}

TEST(Prefixes, TooLongAChainEndsTheInstructionAsUndefined) {
    TestMachine m;
    // Fifteen prefixes may precede an instruction.
    for (uint32_t i = 0; i < kMaxPrefixBytes; ++i) m.poke(0x100 + i, {0x26});
    m.poke(0x100 + kMaxPrefixBytes, {0x40});
    m.run();
    EXPECT_EQ(m.text(), "inc\tax");
    EXPECT_EQ(m.cpu.ax, 1);

    // One more prefix in a row ends the instruction with "???" and no effect.
    TestMachine n;
    n.poke(0x100, {0xF3});
    for (uint32_t i = 1; i < 40; ++i) n.poke(0x100 + i, {0x26});
    n.run();
    EXPECT_EQ(n.cpu.ip, 0x100 + kMaxPrefixBytes + 1);
    EXPECT_EQ(n.cpu.repPrefix, 0);
    EXPECT_EQ(n.cpu.segOverride, 0);
    EXPECT_EQ(n.text(), "rep ???");
    // The next step starts a fresh chain at the byte after.
    n.run();
    EXPECT_EQ(n.cpu.ip, 0x100 + 2 * (kMaxPrefixBytes + 1));
    EXPECT_EQ(n.text(), "???");
}

TEST(Prefixes, ASegmentFullOfPrefixesNeitherCrashesNorHangs) {
    TestMachine m;
    for (uint32_t i = 0; i < 0x10000; ++i) m.poke(i, {static_cast<uint8_t>(i % 3 == 0 ? 0xF3 : 0x2E)});
    for (int i = 0; i < 10000; ++i) m.run();
    m.decode();
    EXPECT_EQ(m.cpu.segOverride, 0);
    EXPECT_EQ(m.cpu.repPrefix, 0);
}

}  // namespace
