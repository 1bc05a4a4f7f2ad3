// String instructions and the repeat prefixes: element semantics, index stepping both ways, the
// repeat and stop rules, segment overrides, the port forms, the LODS note, and the block versions
// of REP MOVS / REP STOS checked against a plain element-by-element model.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/machine.h"

namespace {

constexpr uint16_t kDataSegment = 0x1000;   // DS: source elements at 0x10000 + SI
constexpr uint16_t kExtraSegment = 0x2000;  // ES: destination elements at 0x20000 + DI

struct Bytes {
    uint32_t at;
    std::vector<uint8_t> bytes;
};

struct Registers {
    uint16_t si = 0, di = 0, cx = 0, ax = 0, dx = 0;
};

struct Flags {
    uint8_t zf = 0, cf = 0, sf = 0, of = 0;
};

void place(TestMachine& m, const std::vector<uint8_t>& code, uint16_t es, uint8_t df, const Registers& r,
           const std::vector<Bytes>& memory) {
    m.cpu.ds = kDataSegment;
    m.cpu.es = es;
    m.cpu.dfFlag = df;
    m.cpu.si = r.si;
    m.cpu.di = r.di;
    m.cpu.cx = r.cx;
    m.cpu.ax = r.ax;
    m.cpu.dx = r.dx;
    for (const Bytes& b : memory)
        for (size_t i = 0; i < b.bytes.size(); ++i) m.poke(b.at + static_cast<uint32_t>(i), {b.bytes[i]});
    for (size_t i = 0; i < code.size(); ++i) m.poke(0x100 + static_cast<uint32_t>(i), {code[i]});
}

void expectRegisters(const TestMachine& m, const Registers& r) {
    EXPECT_EQ(m.cpu.si, r.si);
    EXPECT_EQ(m.cpu.di, r.di);
    EXPECT_EQ(m.cpu.cx, r.cx);
    EXPECT_EQ(m.cpu.ax, r.ax);
    EXPECT_EQ(m.cpu.dx, r.dx);
}

void expectMemory(const TestMachine& m, const std::vector<Bytes>& expected) {
    for (const Bytes& b : expected)
        for (size_t i = 0; i < b.bytes.size(); ++i) {
            const uint32_t at = b.at + static_cast<uint32_t>(i);
            EXPECT_EQ(m.peek(at), b.bytes[i]) << "at " << std::hex << at;
        }
}

std::string caseName(const char* name) { return name; }

// ---- MOVS, STOS, LODS, INS, OUTS: once, or CX times under F3

struct CountedCase {
    const char* name;
    std::vector<uint8_t> code;
    const char* text;
    uint8_t df;
    uint16_t es;
    Registers before;
    std::vector<Bytes> memory;
    Registers after;
    std::vector<Bytes> expected;
};

const CountedCase kCountedCases[] = {
    {"RepMovsbWithCxZeroDoesNothing", {0xF3, 0xA4}, "rep movsb", 0, kExtraSegment,
     {.si = 0x10, .di = 0x20, .cx = 0}, {{0x10010, {1, 2, 3}}},
     {.si = 0x10, .di = 0x20, .cx = 0}, {{0x20020, {0, 0, 0}}}},
    {"RepMovsbUpward", {0xF3, 0xA4}, "rep movsb", 0, kExtraSegment,
     {.si = 0x10, .di = 0x20, .cx = 3}, {{0x10010, {1, 2, 3, 4}}},
     {.si = 0x13, .di = 0x23, .cx = 0}, {{0x20020, {1, 2, 3, 0}}}},
    {"RepMovsbDownward", {0xF3, 0xA4}, "rep movsb", 1, kExtraSegment,
     {.si = 0x10, .di = 0x20, .cx = 3}, {{0x1000D, {9, 1, 2, 3}}},
     {.si = 0x0D, .di = 0x1D, .cx = 0}, {{0x2001D, {0, 1, 2, 3}}}},
    {"RepMovsbOneAheadFillsWithTheFirstByte", {0xF3, 0xA4}, "rep movsb", 0, kDataSegment,
     {.si = 0x10, .di = 0x11, .cx = 6}, {{0x10010, {7, 1, 2, 3, 4, 5, 6, 8}}},
     {.si = 0x16, .di = 0x17, .cx = 0}, {{0x10010, {7, 7, 7, 7, 7, 7, 7, 8}}}},
    {"RepMovsbThreeAheadRepeatsThreeBytes", {0xF3, 0xA4}, "rep movsb", 0, kDataSegment,
     {.si = 0x10, .di = 0x13, .cx = 7}, {{0x10010, {1, 2, 3, 9, 9, 9, 9, 9, 9, 9, 8}}},
     {.si = 0x17, .di = 0x1A, .cx = 0}, {{0x10010, {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 8}}}},
    {"RepMovsbOneBelowDownwardFillsWithTheFirstByte", {0xF3, 0xA4}, "rep movsb", 1, kDataSegment,
     {.si = 0x17, .di = 0x16, .cx = 6}, {{0x10010, {8, 1, 2, 3, 4, 5, 6, 7}}},
     {.si = 0x11, .di = 0x10, .cx = 0}, {{0x10010, {8, 7, 7, 7, 7, 7, 7, 7}}}},
    {"RepMovsbBehindTheSourceCopiesTheOriginal", {0xF3, 0xA4}, "rep movsb", 0, kDataSegment,
     {.si = 0x11, .di = 0x10, .cx = 4}, {{0x10010, {0, 1, 2, 3, 4}}},
     {.si = 0x15, .di = 0x14, .cx = 0}, {{0x10010, {1, 2, 3, 4, 4}}}},
    {"RepMovsbSourceWrapsInItsSegment", {0xF3, 0xA4}, "rep movsb", 0, kExtraSegment,
     {.si = 0xFFFF, .di = 0x20, .cx = 2}, {{0x1FFFF, {0xA1}}, {0x10000, {0xA2}}},
     {.si = 0x0001, .di = 0x22, .cx = 0}, {{0x20020, {0xA1, 0xA2}}}},
    {"MovswReadsTheHighByteAfterWritingTheLow", {0xA5}, "movsw", 0, kDataSegment,
     {.si = 0x10, .di = 0x11, .cx = 5}, {{0x10010, {0xAA, 0xBB, 0xCC}}},
     {.si = 0x12, .di = 0x13, .cx = 5}, {{0x10010, {0xAA, 0xAA, 0xAA}}}},
    {"RepMovswOneAheadFillsWithTheFirstByte", {0xF3, 0xA5}, "rep movsw", 0, kDataSegment,
     {.si = 0x10, .di = 0x11, .cx = 3}, {{0x10010, {0xAA, 1, 2, 3, 4, 5, 6, 7}}},
     {.si = 0x16, .di = 0x17, .cx = 0}, {{0x10010, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 7}}}},
    {"RepMovswDownwardOneAboveTheSource", {0xF3, 0xA5}, "rep movsw", 1, kDataSegment,
     {.si = 0x14, .di = 0x15, .cx = 3}, {{0x10010, {0, 1, 2, 3, 4, 5, 6, 7}}},
     {.si = 0x0E, .di = 0x0F, .cx = 0}, {{0x10010, {0, 0, 0, 2, 2, 4, 4, 7}}}},
    {"RepMovswDownwardOneBelowTheSource", {0xF3, 0xA5}, "rep movsw", 1, kDataSegment,
     {.si = 0x15, .di = 0x14, .cx = 3}, {{0x10010, {0, 1, 2, 3, 4, 5, 6, 7}}},
     {.si = 0x0F, .di = 0x0E, .cx = 0}, {{0x10010, {1, 3, 3, 5, 5, 6, 6, 7}}}},
    {"RepMovswDownwardEndingOnTheDestinationTop", {0xF3, 0xA5}, "rep movsw", 1, kDataSegment,
     {.si = 0x13, .di = 0x10, .cx = 2}, {{0x1000E, {0, 1, 2, 3, 4, 5, 6}}},
     {.si = 0x0F, .di = 0x0C, .cx = 0}, {{0x1000E, {6, 4, 5, 6, 4, 5, 6}}}},
    {"F2MovsbRunsOnce", {0xF2, 0xA4}, "repnz movsb", 0, kExtraSegment,
     {.si = 0x10, .di = 0x20, .cx = 5}, {{0x10010, {1, 2}}},
     {.si = 0x11, .di = 0x21, .cx = 5}, {{0x20020, {1, 0}}}},
    {"F2StosbRunsOnce", {0xF2, 0xAA}, "repnz stosb", 0, kExtraSegment,
     {.di = 0x20, .cx = 5, .ax = 0x1234}, {},
     {.di = 0x21, .cx = 5, .ax = 0x1234}, {{0x20020, {0x34, 0}}}},
    {"F2LodsbRunsOnce", {0xF2, 0xAC}, "repnz lodsb", 0, kExtraSegment,
     {.si = 0x10, .cx = 5, .ax = 0x1200}, {{0x10010, {0x56, 0x78}}},
     {.si = 0x11, .cx = 5, .ax = 0x1256}, {}},
    {"F2InsbRunsOnce", {0xF2, 0x6C}, "repnz insb", 0, kExtraSegment,
     {.di = 0x20, .cx = 5, .dx = 0x0300}, {{0x20020, {0xFF, 0xFF}}},
     {.di = 0x21, .cx = 5, .dx = 0x0300}, {{0x20020, {0x00, 0xFF}}}},
    {"F2OutsbRunsOnce", {0xF2, 0x6E}, "repnz outsb", 0, kExtraSegment,
     {.si = 0x10, .cx = 5, .dx = 0x0300}, {},
     {.si = 0x11, .cx = 5, .dx = 0x0300}, {}},
    {"CsOverrideTakesTheSourceFromCs", {0xF3, 0x2E, 0xA4}, "rep movsb", 0, kExtraSegment,
     {.si = 0x300, .di = 0x20, .cx = 3}, {{0x00300, {9, 8, 7}}, {0x10300, {1, 1, 1}}},
     {.si = 0x303, .di = 0x23, .cx = 0}, {{0x20020, {9, 8, 7}}}},
    {"EsOverrideOnStosbChangesNothing", {0x26, 0xAA}, "stosb", 0, kExtraSegment,
     {.di = 0x20, .ax = 0x0077}, {},
     {.di = 0x21, .ax = 0x0077}, {{0x20020, {0x77}}, {0x10020, {0}}}},
    {"CsOverrideOnStosbStillStoresAtEsDi", {0x2E, 0xAA}, "stosb", 0, kExtraSegment,
     {.di = 0x400, .ax = 0x0077}, {},
     {.di = 0x401, .ax = 0x0077}, {{0x20400, {0x77}}, {0x00400, {0}}}},
    {"StoswAtFFFFPutsTheHighByteAboveTheSegment", {0xAB}, "stosw", 0, kExtraSegment,
     {.di = 0xFFFF, .ax = 0xBBAA}, {},
     {.di = 0x0001, .ax = 0xBBAA}, {{0x2FFFF, {0xAA, 0xBB}}, {0x20000, {0}}}},
    {"RepStoswDownward", {0xF3, 0xAB}, "rep stosw", 1, kExtraSegment,
     {.di = 0x24, .cx = 3, .ax = 0x2211}, {},
     {.di = 0x1E, .cx = 0, .ax = 0x2211}, {{0x2001E, {0, 0, 0x11, 0x22, 0x11, 0x22, 0x11, 0x22, 0}}}},
    {"RepStosbWrapsAtTheImageEnd", {0xF3, 0xAA}, "rep stosb", 0, 0xFFFF,
     {.di = 0x0E, .cx = 4, .ax = 0x00EE}, {},
     {.di = 0x12, .cx = 0, .ax = 0x00EE}, {{0xFFFFE, {0xEE, 0xEE}}, {0x00000, {0xEE, 0xEE, 0xFF}}}},
    {"RepInswWritesZeros", {0xF3, 0x6D}, "rep insw", 0, kExtraSegment,
     {.di = 0x20, .cx = 2, .dx = 0x0188}, {{0x20020, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}},
     {.di = 0x24, .cx = 0, .dx = 0x0188}, {{0x20020, {0, 0, 0, 0, 0xFF}}}},
    {"RepLodsbKeepsTheLastByte", {0xF3, 0xAC}, "rep lodsb", 0, kExtraSegment,
     {.si = 0x10, .cx = 3, .ax = 0x9900}, {{0x10010, {1, 2, 3, 4}}},
     {.si = 0x13, .cx = 0, .ax = 0x9903}, {}},
    {"RepLodswDownward", {0xF3, 0xAD}, "rep lodsw", 1, kExtraSegment,
     {.si = 0x14, .cx = 2}, {{0x10010, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}}},
     {.si = 0x10, .cx = 0, .ax = 0x4433}, {}},
    {"OutswOnlyMovesSi", {0x6F}, "outsw", 0, kExtraSegment,
     {.si = 0x10, .di = 0x20, .cx = 3, .dx = 0x0188}, {},
     {.si = 0x12, .di = 0x20, .cx = 3, .dx = 0x0188}, {}},
};

class CountedStrings : public ::testing::TestWithParam<CountedCase> {};

TEST_P(CountedStrings, ProcessTheirElementsAndStepTheirIndexes) {
    const CountedCase& c = GetParam();
    TestMachine m;
    place(m, c.code, c.es, c.df, c.before, c.memory);
    const uint16_t flags = packFlags(m.cpu);
    m.run();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, 0x100 + c.code.size());
    EXPECT_EQ(packFlags(m.cpu), flags);
    expectRegisters(m, c.after);
    expectMemory(m, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CountedStrings, ::testing::ValuesIn(kCountedCases),
                         [](const auto& info) { return caseName(info.param.name); });

// ---- CMPS and SCAS: the flags of CMP, repeated while equal (F3) or while different (F2)

struct CompareCase {
    const char* name;
    std::vector<uint8_t> code;
    const char* text;
    uint8_t df;
    Registers before;
    std::vector<Bytes> memory;
    Registers after;
    Flags flags;
};

const CompareCase kCompareCases[] = {
    {"RepzCmpsbStopsAtTheFirstDifference", {0xF3, 0xA6}, "rep cmpsb", 0,
     {.si = 0x10, .di = 0x20, .cx = 4}, {{0x10010, {0x41, 0x42, 0x43, 0x44}}, {0x20020, {0x41, 0x42, 0x58, 0x44}}},
     {.si = 0x13, .di = 0x23, .cx = 1}, {.zf = 0, .cf = 1, .sf = 1}},
    {"RepzCmpsbDownward", {0xF3, 0xA6}, "rep cmpsb", 1,
     {.si = 0x12, .di = 0x22, .cx = 3}, {{0x10010, {1, 2, 3}}, {0x20020, {9, 2, 3}}},
     {.si = 0x0F, .di = 0x1F, .cx = 0}, {.zf = 0, .cf = 1, .sf = 1}},
    {"RepzCmpsbWithCxZeroKeepsTheFlags", {0xF3, 0xA6}, "rep cmpsb", 0,
     {.si = 0x10, .di = 0x20, .cx = 0}, {{0x10010, {1}}, {0x20020, {2}}},
     {.si = 0x10, .di = 0x20, .cx = 0}, {}},
    {"RepnzScasbFindsTheZero", {0xF2, 0xAE}, "repnz scasb", 0,
     {.di = 0x20, .cx = 10, .ax = 0xFF00}, {{0x20020, {0x61, 0x62, 0x00, 0x63}}},
     {.di = 0x23, .cx = 7, .ax = 0xFF00}, {.zf = 1}},
    {"RepzScasbOverEqualBytesRunsOut", {0xF3, 0xAE}, "rep scasb", 0,
     {.di = 0x20, .cx = 5, .ax = 0x0055}, {{0x20020, {0x55, 0x55, 0x55, 0x55, 0x55, 0x56}}},
     {.di = 0x25, .cx = 0, .ax = 0x0055}, {.zf = 1}},
    {"RepPrefixDecidesWhenBothArePresent", {0xF2, 0xF3, 0xA6}, "repnz rep cmpsb", 0,
     {.si = 0x10, .di = 0x20, .cx = 3}, {{0x10010, {5, 6, 7}}, {0x20020, {5, 6, 7}}},
     {.si = 0x13, .di = 0x23, .cx = 0}, {.zf = 1}},
    {"RepPrefixDecidesInEitherOrder", {0xF3, 0xF2, 0xA6}, "rep repnz cmpsb", 0,
     {.si = 0x10, .di = 0x20, .cx = 3}, {{0x10010, {5, 6, 7}}, {0x20020, {5, 6, 7}}},
     {.si = 0x13, .di = 0x23, .cx = 0}, {.zf = 1}},
    {"RepnzCmpswStopsOnAnEqualWord", {0xF2, 0xA7}, "repnz cmpsw", 0,
     {.si = 0x10, .di = 0x20, .cx = 3}, {{0x10010, {1, 0, 2, 0, 3, 0}}, {0x20020, {5, 0, 2, 0, 3, 0}}},
     {.si = 0x14, .di = 0x24, .cx = 1}, {.zf = 1}},
    {"CmpswSubtractsTheDestinationFromTheSource", {0xA7}, "cmpsw", 0,
     {.si = 0x10, .di = 0x20, .cx = 7}, {{0x10010, {0x00, 0x80}}, {0x20020, {0x01, 0x00}}},
     {.si = 0x12, .di = 0x22, .cx = 7}, {.zf = 0, .cf = 0, .sf = 0, .of = 1}},
    {"ScasbWithoutPrefixComparesOnce", {0xAE}, "scasb", 0,
     {.di = 0x20, .cx = 4, .ax = 0x0010}, {{0x20020, {0x20, 0x10}}},
     {.di = 0x21, .cx = 4, .ax = 0x0010}, {.zf = 0, .cf = 1, .sf = 1}},
    {"ScaswAtFFFFTakesTheHighByteAboveTheSegment", {0xAF}, "scasw", 0,
     {.di = 0xFFFF, .ax = 0x3412}, {{0x2FFFF, {0x12, 0x34}}, {0x20000, {0x99}}},
     {.di = 0x0001, .ax = 0x3412}, {.zf = 1}},
};

class ComparingStrings : public ::testing::TestWithParam<CompareCase> {};

TEST_P(ComparingStrings, SetTheFlagsOfCmpAndStopByThePrefix) {
    const CompareCase& c = GetParam();
    TestMachine m;
    place(m, c.code, kExtraSegment, c.df, c.before, c.memory);
    m.cpu.pfFlag = 1;
    m.cpu.afFlag = 1;
    m.run();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, 0x100 + c.code.size());
    expectRegisters(m, c.after);
    EXPECT_EQ(m.cpu.zfFlag, c.flags.zf);
    EXPECT_EQ(m.cpu.cfFlag, c.flags.cf);
    EXPECT_EQ(m.cpu.sfFlag, c.flags.sf);
    EXPECT_EQ(m.cpu.ofFlag, c.flags.of);
    EXPECT_EQ(m.cpu.pfFlag, 1);  // never computed
    EXPECT_EQ(m.cpu.afFlag, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ComparingStrings, ::testing::ValuesIn(kCompareCases),
                         [](const auto& info) { return caseName(info.param.name); });

// ---- decode-only: the text, the LODS note, and nothing else

struct DecodeCase {
    std::vector<uint8_t> code;
    const char* text;
    const char* trace;
};

const DecodeCase kDecodeCases[] = {
    {{0x6C}, "insb", ""},         {{0x6D}, "insw", ""},         {{0x6E}, "outsb", ""},
    {{0x6F}, "outsw", ""},        {{0xA4}, "movsb", ""},        {{0xA5}, "movsw", ""},
    {{0xA6}, "cmpsb", ""},        {{0xA7}, "cmpsw", ""},        {{0xAA}, "stosb", ""},
    {{0xAB}, "stosw", ""},        {{0xAC}, "lodsb", "(10010:5a)"}, {{0xAD}, "lodsw", "(10010:a55a)"},
    {{0xAE}, "scasb", ""},        {{0xAF}, "scasw", ""},        {{0xF3, 0xA4}, "rep movsb", ""},
    {{0xF2, 0xAE}, "repnz scasb", ""}, {{0xF3, 0x26, 0xA4}, "rep movsb", ""},
    {{0xF3, 0xAC}, "rep lodsb", "(10010:5a)"}, {{0x2E, 0xAD}, "lodsw", "(00010:0008)"},
    {{0x36, 0xAC}, "lodsb", "(3fff0:77)"},
};

class DecodedStrings : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodedStrings, ShowTheirTextAndChangeNothing) {
    const DecodeCase& c = GetParam();
    TestMachine m;
    place(m, c.code, kExtraSegment, 0, {.si = 0x10, .di = 0x20, .cx = 3, .ax = 0x1234, .dx = 0x188},
          {{0x10010, {0x5A, 0xA5}}, {0x20020, {1, 2, 3}}, {0x3FFF0, {0x77}}});
    m.cpu.ss = 0x3FFE;
    m.board.statusByte = 2;
    const std::vector<uint8_t> memoryBefore(m.cpu.memory.get(), m.cpu.memory.get() + kMemorySize);
    const uint16_t flags = packFlags(m.cpu);
    m.decode();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.trace(), c.trace);
    EXPECT_EQ(m.cpu.ip, 0x100 + c.code.size());
    expectRegisters(m, {.si = 0x10, .di = 0x20, .cx = 3, .ax = 0x1234, .dx = 0x188});
    EXPECT_EQ(packFlags(m.cpu), flags);
    EXPECT_EQ(m.board.statusByte, 2);
    EXPECT_EQ(std::memcmp(memoryBefore.data(), m.cpu.memory.get(), kMemorySize), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodedStrings, ::testing::ValuesIn(kDecodeCases));

TEST(StringNotes, ExecutedLodsNotesItsFirstElement) {
    TestMachine m;
    place(m, {0xF3, 0xAD}, kExtraSegment, 0, {.si = 0xFFFF, .cx = 2}, {{0x1FFFF, {0x22, 0x33}}});
    m.run();
    EXPECT_EQ(m.trace(), "(1ffff:3322)");
    EXPECT_EQ(m.cpu.si, 0x0003);
}

TEST(StringNotes, OtherStringInstructionsWriteNoNoteAndNoDataCoverage) {
    TestMachine m;
    m.cpu.coverageOn = 1;
    place(m, {0xF3, 0xA4, 0xA6, 0xAB, 0xAF, 0xAC}, kExtraSegment, 0, {.si = 0x10, .di = 0x20, .cx = 2}, {});
    for (int i = 0; i < 4; ++i) {
        m.run();
        EXPECT_EQ(m.trace(), "") << m.text();
    }
    m.run();
    EXPECT_NE(m.trace(), "");
    EXPECT_TRUE(m.cpu.DataCoverage.empty());
}

// ---- the port forms reach the sound board

TEST(StringPorts, OutsbWritesTheSourceByteToThePort) {
    TestMachine m;
    place(m, {0xF3, 0x6E, 0xBA, 0x8A, 0x01, 0x6E}, kExtraSegment, 0, {.si = 0x10, .cx = 2, .dx = 0x0188},
          {{0x10010, {0x05, 0x07, 0x33}}});
    m.run();  // rep outsb to 0188: the address latch keeps the last byte
    EXPECT_EQ(m.board.addressLatchA0, 0x07);
    EXPECT_EQ(m.cpu.si, 0x12);
    m.run();  // mov dx,018a
    m.run();  // outsb: register 07 of bank A0 := 33
    EXPECT_EQ(m.link.registerImageA0[0x07], 0x33);
    EXPECT_EQ(m.cpu.si, 0x13);
}

TEST(StringPorts, OutswWritesNoPort) {
    TestMachine m;
    place(m, {0x6F}, kExtraSegment, 0, {.si = 0x10, .dx = 0x0188}, {{0x10010, {0x05, 0x07}}});
    m.board.addressLatchA0 = 0x44;
    m.run();
    EXPECT_EQ(m.board.addressLatchA0, 0x44);
}

TEST(StringPorts, RepInsbReadsThePortOncePerElement) {
    TestMachine m;
    place(m, {0xF3, 0x6C}, kExtraSegment, 0, {.di = 0x20, .cx = 3, .dx = 0x0188}, {{0x20020, {9, 9, 9, 9}}});
    m.board.statusByte = 2;  // answered by the first read, which clears it
    m.run();
    expectMemory(m, {{0x20020, {2, 0, 0, 9}}});
    EXPECT_EQ(m.board.statusByte, 0);
}

TEST(StringPorts, RepInswReadsNoPort) {
    TestMachine m;
    place(m, {0xF3, 0x6D}, kExtraSegment, 0, {.di = 0x20, .cx = 2, .dx = 0x0188}, {});
    m.board.statusByte = 2;
    m.run();
    EXPECT_EQ(m.board.statusByte, 2);
}

TEST(StringPorts, WithoutABoardInputsAreZeroAndOutputsVanish) {
    TestMachine m;
    m.cpu.board = nullptr;
    place(m, {0xF3, 0x6C, 0xF3, 0x6E}, kExtraSegment, 0, {.si = 0x10, .di = 0x20, .cx = 2, .dx = 0x0188},
          {{0x20020, {9, 9}}});
    m.run();
    expectMemory(m, {{0x20020, {0, 0}}});
    m.cpu.cx = 2;
    m.run();
    EXPECT_EQ(m.cpu.si, 0x12);
    EXPECT_EQ(m.board.addressLatchA0, 0);
}

// ---- repeat prefixes elsewhere, and whole segments in one step

TEST(RepeatPrefix, OnAnotherInstructionItRunsOnce) {
    TestMachine m;
    m.code({0xF3, 0xC3});
    m.poke(0xFFFA, {0x34, 0x12});  // popped from SS:SP+2
    m.cpu.cx = 5;
    m.run();
    EXPECT_EQ(m.text(), "rep ret");
    EXPECT_EQ(m.cpu.ip, 0x1234);
    EXPECT_EQ(m.cpu.sp, 0xFFFA);
    EXPECT_EQ(m.cpu.cx, 5);
}

struct FullSegmentCase {
    uint8_t opcode;
    uint16_t cx;
    uint32_t length;  // bytes written from ES:0000
};

class FullSegments : public ::testing::TestWithParam<FullSegmentCase> {};

TEST_P(FullSegments, AreOneStep) {
    const FullSegmentCase& c = GetParam();
    TestMachine m;
    place(m, {0xF3, c.opcode}, kExtraSegment, 0, {.cx = c.cx, .ax = 0x5AA5}, {});
    for (uint32_t i = 0; i < 0x10000; ++i)
        writeByteLinear(m.cpu, 0x10000 + i, static_cast<uint8_t>(i * 7 + (i >> 8)));
    m.run();
    EXPECT_EQ(m.cpu.ip, 0x102);
    EXPECT_EQ(m.cpu.cx, 0);
    const uint16_t end = static_cast<uint16_t>(c.length);
    EXPECT_EQ(m.cpu.di, end);
    EXPECT_EQ(m.cpu.si, c.opcode < 0xAA ? end : 0);
    for (uint32_t i = 0; i < c.length; ++i) {
        const uint8_t expected = c.opcode == 0xAA   ? 0xA5
                                 : c.opcode == 0xAB ? (i & 1 ? 0x5A : 0xA5)
                                                    : m.peek(0x10000 + i);
        if (m.peek(0x20000 + i) != expected) {
            ADD_FAILURE() << "first difference at " << std::hex << 0x20000 + i;
            break;
        }
    }
    EXPECT_EQ(m.peek(0x20000 + c.length), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FullSegments,
                         ::testing::Values(FullSegmentCase{0xA4, 0xFFFF, 0xFFFF},
                                           FullSegmentCase{0xA5, 0x8000, 0x10000},
                                           FullSegmentCase{0xAA, 0xFFFF, 0xFFFF},
                                           FullSegmentCase{0xAB, 0x8000, 0x10000}));

// ---- the block versions against a plain element-by-element model

// Written independently of the emulator: each byte address reduced to 20 bits, SI and DI stepping
// modulo 65536, the word's bytes low first, one element at a time.
struct ReferenceStrings {
    std::vector<uint8_t> image;
    uint32_t sourceBase = 0, destinationBase = 0;
    uint16_t si = 0, di = 0, cx = 0, ax = 0;
    bool down = false;

    uint8_t& at(uint32_t linear) { return image[linear & 0xFFFFF]; }
    void stepIndex(uint16_t& index, int size) {
        index = static_cast<uint16_t>(down ? index - size : index + size);
    }

    void element(uint8_t opcode) {
        const uint32_t s = sourceBase + si;
        const uint32_t d = destinationBase + di;
        switch (opcode) {
            case 0xA4: at(d) = at(s); stepIndex(si, 1); stepIndex(di, 1); break;
            case 0xA5: at(d) = at(s); at(d + 1) = at(s + 1); stepIndex(si, 2); stepIndex(di, 2); break;
            case 0xAA: at(d) = static_cast<uint8_t>(ax); stepIndex(di, 1); break;
            case 0xAB:
                at(d) = static_cast<uint8_t>(ax);
                at(d + 1) = static_cast<uint8_t>(ax >> 8);
                stepIndex(di, 2);
                break;
            case 0xAC: ax = static_cast<uint16_t>((ax & 0xFF00) | at(s)); stepIndex(si, 1); break;
            case 0xAD: ax = static_cast<uint16_t>(at(s) | at(s + 1) << 8); stepIndex(si, 2); break;
        }
    }

    void run(uint8_t opcode, bool repeated) {
        if (!repeated) return element(opcode);
        while (cx != 0) {
            element(opcode);
            --cx;
        }
    }
};

struct RandomCase {
    uint8_t opcode, override_, repeat;  // repeat: 0 none, 0xF2 or 0xF3
    uint16_t ds, es, ss, si, di, cx, ax;
    uint8_t df;
};

RandomCase randomCase(std::mt19937& rng) {
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    auto segment = [&]() -> uint16_t {
        const uint16_t choices[] = {0x0000, 0x1000, 0x1001, 0x8000, 0xF000, 0xFFF0, 0xFFFF};
        return below(8) < 7 ? choices[below(7)] : static_cast<uint16_t>(rng());
    };
    auto offset = [&]() -> uint16_t {
        switch (below(3)) {
            case 0: return static_cast<uint16_t>(0xFFFF - below(300));
            case 1: return static_cast<uint16_t>(below(300));
            default: return static_cast<uint16_t>(rng());
        }
    };
    auto count = [&]() -> uint16_t {
        switch (below(7)) {
            case 0: return 0;
            case 1: return 1;
            case 2: return 2;
            case 3: return static_cast<uint16_t>(below(65));
            case 4: return static_cast<uint16_t>(below(4097));
            case 5: return static_cast<uint16_t>(rng());
            default: return 0xFFFF;
        }
    };
    const uint8_t opcodes[] = {0xA4, 0xA5, 0xA4, 0xA5, 0xAA, 0xAB, 0xAC, 0xAD};  // overlaps matter for MOVS
    const uint8_t overrides[] = {0, 0x26, 0x2E, 0x36, 0x3E};
    const uint8_t repeats[] = {0xF3, 0xF3, 0xF3, 0xF3, 0xF2, 0};
    RandomCase c{};
    c.opcode = opcodes[below(8)];
    c.override_ = overrides[below(5)];
    c.repeat = repeats[below(6)];
    c.ds = segment();
    c.es = below(2) ? c.ds : segment();
    c.ss = segment();
    c.si = offset();
    c.cx = count();
    // The destination near the source, or just at the far end of a run of either element size.
    const uint32_t runEnd = (c.opcode & 1 ? 2 : 1) * c.cx + below(5) - 2;
    switch (below(4)) {
        case 0: c.di = offset(); break;
        case 1: c.di = static_cast<uint16_t>(c.si + below(9) - 4); break;
        case 2: c.di = static_cast<uint16_t>(c.si + runEnd); break;
        default: c.di = static_cast<uint16_t>(c.si - runEnd); break;
    }
    c.ax = static_cast<uint16_t>(rng());
    c.df = static_cast<uint8_t>(below(2));
    return c;
}

std::string describe(const RandomCase& c) {
    char text[160];
    std::snprintf(text, sizeof text, "op %02x override %02x repeat %02x ds %04x es %04x ss %04x si %04x di %04x "
                  "cx %04x ax %04x df %d", c.opcode, c.override_, c.repeat, c.ds, c.es, c.ss, c.si, c.di, c.cx,
                  c.ax, c.df);
    return text;
}

uint16_t sourceSegment(const RandomCase& c) {
    switch (c.override_) {
        case 0x26: return c.es;
        case 0x2E: return 0;  // CS
        case 0x36: return c.ss;
        default: return c.ds;
    }
}

TEST(StringBlocks, MatchAnElementByElementModel) {
    std::mt19937 rng(20240611);
    TestMachine m;
    ReferenceStrings model;
    for (int round = 0; round < 3000; ++round) {
        if (round % 32 == 0)
            for (uint32_t i = 0; i < kMemorySize; i += 4) {
                const uint32_t r = rng();
                std::memcpy(m.cpu.memory.get() + i, &r, 4);
            }
        const RandomCase c = randomCase(rng);
        SCOPED_TRACE(describe(c));
        std::vector<uint8_t> code;
        if (c.repeat) code.push_back(c.repeat);
        if (c.override_) code.push_back(c.override_);
        code.push_back(c.opcode);
        m.cpu.cs = 0;
        m.cpu.ip = 0x100;
        m.poke(0x100, {0, 0, 0});
        for (size_t i = 0; i < code.size(); ++i) m.poke(0x100 + static_cast<uint32_t>(i), {code[i]});
        m.cpu.ds = c.ds; m.cpu.es = c.es; m.cpu.ss = c.ss;
        m.cpu.si = c.si; m.cpu.di = c.di; m.cpu.cx = c.cx; m.cpu.ax = c.ax; m.cpu.dfFlag = c.df;

        model.image.assign(m.cpu.memory.get(), m.cpu.memory.get() + kMemorySize);
        model.sourceBase = sourceSegment(c) * 16u;
        model.destinationBase = c.es * 16u;
        model.si = c.si; model.di = c.di; model.cx = c.cx; model.ax = c.ax; model.down = c.df != 0;
        model.run(c.opcode, c.repeat == 0xF3);
        m.run();

        EXPECT_EQ(m.cpu.ip, 0x100 + code.size());
        EXPECT_EQ(m.cpu.si, model.si);
        EXPECT_EQ(m.cpu.di, model.di);
        EXPECT_EQ(m.cpu.cx, model.cx);
        EXPECT_EQ(m.cpu.ax, model.ax);
        if (std::memcmp(model.image.data(), m.cpu.memory.get(), kMemorySize) != 0) {
            uint32_t first = 0;
            while (model.image[first] == m.cpu.memory[first]) ++first;
            ADD_FAILURE() << "memory differs first at " << std::hex << first;
        }
        if (::testing::Test::HasFailure()) break;
    }
}

}  // namespace
