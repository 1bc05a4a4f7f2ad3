#include "monitor/parse_hex.h"

#include <gtest/gtest.h>

#include "core/cpu.h"

namespace {

struct ParseCase {
    const char* text;
    uint32_t value;
    int digitCount;
    bool ok;
};

class ParseHexTest : public ::testing::TestWithParam<ParseCase> {};

Cpu& registersSet() {
    static Cpu cpu;
    cpu.ax = 0x1111;
    cpu.bx = 0x2222;
    cpu.cx = 0x3333;
    cpu.dx = 0x4444;
    cpu.bp = 0x5555;
    cpu.si = 0x6666;
    cpu.di = 0x7777;
    cpu.sp = 0x8888;
    cpu.ip = 0x9999;
    cpu.cs = 0xAAAA;
    cpu.ds = 0xBBBB;
    cpu.es = 0xCCCC;
    cpu.ss = 0xDDDD;
    return cpu;
}

TEST_P(ParseHexTest, ValueDigitCountAndOk) {
    const ParseCase& c = GetParam();
    const HexValue v = parseHex(registersSet(), c.text);
    EXPECT_EQ(v.value, c.value) << c.text;
    EXPECT_EQ(v.digitCount, c.digitCount) << c.text;
    EXPECT_EQ(v.ok, c.ok) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseHexTest,
    ::testing::Values(ParseCase{"100", 0x100, 3, true}, ParseCase{"  1F ", 0x1F, 2, true},
                      ParseCase{"\t\tabc def", 0xABC, 3, true}, ParseCase{"", 0, 0, true},
                      ParseCase{"12\r34", 0x12, 2, true}, ParseCase{"ax", 0x1111, 1, true},
                      ParseCase{"bx", 0x2222, 1, true}, ParseCase{"cx", 0x3333, 1, true},
                      ParseCase{"dx", 0x4444, 1, true}, ParseCase{"bp", 0x5555, 1, true},
                      ParseCase{"di", 0x7777, 1, true}, ParseCase{"cs", 0xAAAA, 1, true},
                      ParseCase{"ds", 0xBBBB, 1, true}, ParseCase{"es", 0xCCCC, 1, true},
                      ParseCase{"si", 0x6666, 0, true}, ParseCase{"sp", 0x8888, 0, true},
                      ParseCase{"ss", 0xDDDD, 0, true}, ParseCase{"ip", 0x9999, 0, true},
                      ParseCase{"AX", 0xA, 1, false}, ParseCase{"0x100", 0, 1, false},
                      ParseCase{"1ax", 0x1111, 2, true}, ParseCase{"fs", 0xF, 1, true},
                      ParseCase{"ax123", 0x1111, 1, true}, ParseCase{"ex", 0xE, 1, false},
                      ParseCase{"zz5", 0x5, 1, false}, ParseCase{"5zz", 0x5, 1, false},
                      ParseCase{"1234:10", 0x1234, 4, false},
                      ParseCase{"123456789", 0x23456789, 9, true},
                      ParseCase{"\x80\xff" "7", 0x7, 1, false}));

TEST(ParseHexSegmented, ColonStoresSegmentAndCountsDigitsOnBothSides) {
    Cpu& cpu = registersSet();
    uint16_t segment = 0x0042;
    HexValue v = parseHexSegmented(cpu, "1234:0010", segment);
    EXPECT_EQ(segment, 0x1234);
    EXPECT_EQ(v.value, 0x10u);
    EXPECT_EQ(v.digitCount, 8);
    EXPECT_TRUE(v.ok);

    segment = 0x0042;
    v = parseHexSegmented(cpu, "10", segment);
    EXPECT_EQ(segment, 0x0042);
    EXPECT_EQ(v.value, 0x10u);

    // A register name ends the parse before the colon is reached.
    v = parseHexSegmented(cpu, "ds:100", segment);
    EXPECT_EQ(segment, 0x0042);
    EXPECT_EQ(v.value, 0xBBBBu);

    // Only the low 16 bits become the segment.
    v = parseHexSegmented(cpu, "12345:1", segment);
    EXPECT_EQ(segment, 0x2345);
    EXPECT_EQ(v.value, 1u);
}

struct ChainCase {
    const char* line;
    bool ok;
    uint32_t a, b, c;
};

class ChainedTripleTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(ChainedTripleTest, PositionsFollowDigitCounts) {
    const ChainCase& c = GetParam();
    uint32_t values[3] = {};
    EXPECT_EQ(parseChainedTriple(registersSet(), c.line, values), c.ok) << c.line;
    if (c.ok) {
        EXPECT_EQ(values[0], c.a) << c.line;
        EXPECT_EQ(values[1], c.b) << c.line;
        EXPECT_EQ(values[2], c.c) << c.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChainedTripleTest,
    ::testing::Values(ChainCase{"m 100 200 10", true, 0x100, 0x200, 0x10},
                      ChainCase{"m 100\t200\t10", true, 0x100, 0x200, 0x10},
                      // Extra blanks move the later starts back into the previous argument.
                      ChainCase{"m   100 200 10", true, 0x100, 0x0, 0x200},
                      ChainCase{"m 100 200", false, 0, 0, 0}, ChainCase{"m 100", false, 0, 0, 0},
                      ChainCase{"m", false, 0, 0, 0}, ChainCase{"m ", false, 0, 0, 0},
                      ChainCase{"m 100 2g0 10", false, 0, 0, 0}, ChainCase{"m 100 200 ", false, 0, 0, 0},
                      // si has digit count 0: the next parse starts on its second letter.
                      ChainCase{"m si 0 1", true, 0x6666, 0x0, 0x0}));

}  // namespace
