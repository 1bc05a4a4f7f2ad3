// Shifts and rotates: one-bit step semantics, masked counts, the ZF/SF/CF rule, write-back, texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/machine.h"

namespace {

struct ShiftMachine : TestMachine {
    void load(const std::vector<uint8_t>& bytes) {
        uint32_t at = linearOf(cpu.cs, cpu.ip);
        for (uint8_t b : bytes) writeByteLinear(cpu, at++, b);
    }
};

// ---- register operands: value, carry and flags after one instruction

struct RegisterCase {
    const char* name;
    std::vector<uint8_t> bytes;
    uint16_t ax;
    uint8_t cl;
    uint8_t carryIn;
    uint16_t axOut;
    uint8_t carryOut;
    uint8_t zf;
    uint8_t sf;
};

// Byte cases keep AH = 5A to show that only AL is touched.
const RegisterCase kRegisterCases[] = {
    {"ShlAl1", {0xD0, 0xE0}, 0x5A81, 0, 0, 0x5A02, 1, 0, 0},
    {"ShrAl1ToZero", {0xD0, 0xE8}, 0x5A01, 0, 0, 0x5A00, 1, 1, 0},
    {"SarAl1CopiesSign", {0xD0, 0xF8}, 0x5A81, 0, 0, 0x5AC0, 1, 0, 1},
    {"SalIsShl", {0xD0, 0xF0}, 0x5AC1, 0, 0, 0x5A82, 1, 0, 1},
    {"RolAl1", {0xD0, 0xC0}, 0x5A80, 0, 0, 0x5A01, 1, 0, 0},
    {"RorAl1SetsSign", {0xD0, 0xC8}, 0x5A01, 0, 0, 0x5A80, 1, 0, 1},
    {"RclAl1ThroughCarryToZero", {0xD0, 0xD0}, 0x5A80, 0, 0, 0x5A00, 1, 1, 0},
    {"RclAl1TakesCarryIn", {0xD0, 0xD0}, 0x5A01, 0, 1, 0x5A03, 0, 0, 0},
    {"RcrAx1TakesCarryIn", {0xD1, 0xD8}, 0x0001, 0, 1, 0x8000, 1, 0, 1},
    {"RcrAl1CarryOutOnly", {0xD0, 0xD8}, 0x5A01, 0, 0, 0x5A00, 1, 1, 0},
    {"RclAlBy9RestoresValueAndCarry", {0xD2, 0xD0}, 0x5A5A, 9, 1, 0x5A5A, 1, 0, 0},
    {"RcrAxBy17RestoresValueAndCarry", {0xD3, 0xD8}, 0x8001, 17, 0, 0x8001, 0, 0, 1},
    {"RolAlBy8GivesOperandBack", {0xD2, 0xC0}, 0x5A81, 8, 0, 0x5A81, 1, 0, 1},
    {"RorAlBy8GivesOperandBack", {0xD2, 0xC8}, 0x5A81, 8, 0, 0x5A81, 1, 0, 1},
    {"ShlAxByCl20IsCountZero", {0xD3, 0xE0}, 0x8000, 0x20, 1, 0x8000, 1, 0, 1},
    {"ShlAxByCl0SetsZfFromValue", {0xD3, 0xE0}, 0x0000, 0, 1, 0x0000, 1, 1, 0},
    {"RolAxByCl21IsCountOne", {0xD3, 0xC0}, 0x8000, 0x21, 0, 0x0001, 1, 0, 0},
    {"ShlAxImm21IsCountOne", {0xC1, 0xE0, 0x21}, 0x4001, 0, 0, 0x8002, 0, 0, 1},
    {"ShlAlImm8LastBitOut", {0xC0, 0xE0, 0x08}, 0x5AFF, 0, 0, 0x5A00, 1, 1, 0},
    {"ShlAlImm9ShiftsPastWidth", {0xC0, 0xE0, 0x09}, 0x5AFF, 0, 1, 0x5A00, 0, 1, 0},
    {"ShrAlImm8", {0xC0, 0xE8, 0x08}, 0x5A80, 0, 0, 0x5A00, 1, 1, 0},
    {"SarAlImm9FillsWithSign", {0xC0, 0xF8, 0x09}, 0x5A80, 0, 0, 0x5AFF, 1, 0, 1},
    {"SarAlImm1FPositiveEndsZero", {0xC0, 0xF8, 0x1F}, 0x5A40, 0, 1, 0x5A00, 0, 1, 0},
    {"SarAxImm4", {0xC1, 0xF8, 0x04}, 0x8018, 0, 0, 0xF801, 1, 0, 1},
    {"RorAxImm4", {0xC1, 0xC8, 0x04}, 0x1234, 0, 1, 0x4123, 0, 0, 0},
    {"ImmCountZeroKeepsCarry", {0xC0, 0xE0, 0x00}, 0x5A80, 0, 1, 0x5A80, 1, 0, 1},
    {"ShlAhOperand", {0xD0, 0xE4}, 0x4001, 0, 0, 0x8001, 0, 0, 1},
};

class ShiftRegisterTest : public ::testing::TestWithParam<RegisterCase> {};

TEST_P(ShiftRegisterTest, ComputesValueCarryZeroSignAndKeepsOverflowAuxParity) {
    const RegisterCase& c = GetParam();
    ShiftMachine m;
    m.load(c.bytes);
    m.cpu.ax = c.ax;
    m.cpu.cx = static_cast<uint16_t>(0xAB00 | c.cl);
    m.cpu.cfFlag = c.carryIn;
    m.cpu.zfFlag = !c.zf;  // both flags start opposite to their expected value
    m.cpu.sfFlag = !c.sf;
    m.cpu.ofFlag = m.cpu.afFlag = m.cpu.pfFlag = 1;
    m.run();
    EXPECT_EQ(m.cpu.ax, c.axOut);
    EXPECT_EQ(m.cpu.cfFlag, c.carryOut);
    EXPECT_EQ(m.cpu.zfFlag, c.zf);
    EXPECT_EQ(m.cpu.sfFlag, c.sf);
    EXPECT_EQ(m.cpu.ofFlag, 1);
    EXPECT_EQ(m.cpu.afFlag, 1);
    EXPECT_EQ(m.cpu.pfFlag, 1);
    EXPECT_EQ(m.cpu.cx, 0xAB00 | c.cl);
    EXPECT_EQ(m.cpu.ip, 0x0100 + c.bytes.size());
}

TEST(ShiftFlagTest, OverflowStaysClearWhereTheHardwareWouldSetIt) {
    ShiftMachine m;
    m.load({0xD0, 0xE0});  // shl al,1 of 0x40 would set OF on the hardware
    m.cpu.ax = 0x0040;
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x0080);
    EXPECT_EQ(m.cpu.ofFlag, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShiftRegisterTest, ::testing::ValuesIn(kRegisterCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- memory operands

class ShiftMemoryTest : public ::testing::Test {
protected:
    void SetUp() override { m.cpu.bx = 0x0200; }
    ShiftMachine m;
};

TEST_F(ShiftMemoryTest, ByteByClNineLeavesZeroAndClearCarry) {
    m.load({0xD2, 0x27});  // shl byte ptr [bx],cl
    m.poke(0x0200, {0xFF, 0x77});
    m.cpu.cx = 9;
    m.run();
    EXPECT_EQ(m.peek(0x0200), 0x00);
    EXPECT_EQ(m.peek(0x0201), 0x77);
    EXPECT_EQ(m.cpu.cfFlag, 0);
    EXPECT_EQ(m.cpu.zfFlag, 1);
}

TEST_F(ShiftMemoryTest, ByteByClEightLeavesZeroAndCarryOfBitZero) {
    m.load({0xD2, 0x27});
    m.poke(0x0200, {0x01});
    m.cpu.cx = 8;
    m.run();
    EXPECT_EQ(m.peek(0x0200), 0x00);
    EXPECT_EQ(m.cpu.cfFlag, 1);
}

TEST_F(ShiftMemoryTest, CountZeroKeepsTheByteAndSetsZeroAndSignFromIt) {
    m.load({0xD2, 0x27});
    m.poke(0x0200, {0x80});
    m.cpu.cx = 0;
    m.cpu.zfFlag = 1;
    m.cpu.cfFlag = 1;
    m.run();
    EXPECT_EQ(m.peek(0x0200), 0x80);
    EXPECT_EQ(m.cpu.cfFlag, 1);
    EXPECT_EQ(m.cpu.zfFlag, 0);
    EXPECT_EQ(m.cpu.sfFlag, 1);
    EXPECT_EQ(m.trace(), "(00200:80)");
}

TEST_F(ShiftMemoryTest, WordWithDisplacementAndImmediateCount) {
    m.load({0xC1, 0x67, 0x02, 0x04});  // shl word ptr [bx+02],04
    m.poke(0x0202, {0x34, 0x12});
    m.run();
    EXPECT_EQ(m.peekWord(0x0202), 0x2340);
    EXPECT_EQ(m.cpu.cfFlag, 1);
    EXPECT_EQ(m.cpu.ip, 0x0104);
    EXPECT_EQ(m.trace(), "(00202:1234)");
}

TEST_F(ShiftMemoryTest, WordAtTheTopOfMemoryWrapsEachByte) {
    m.cpu.ds = 0xFFFF;
    m.load({0xD1, 0x26, 0x0F, 0x00});  // shl word ptr [000f],1 -> bytes FFFFF and 00000
    m.poke(0xFFFFF, {0x01});
    m.poke(0x00000, {0x80});
    m.run();
    EXPECT_EQ(m.peek(0xFFFFF), 0x02);
    EXPECT_EQ(m.peek(0x00000), 0x00);
    EXPECT_EQ(m.cpu.cfFlag, 1);
}

// ---- texts: every count form, register and memory operands, ptr keywords, overrides

struct TextCase {
    std::vector<uint8_t> bytes;
    const char* text;
};

const TextCase kTextCases[] = {
    {{0xD0, 0xC0}, "rol\tal,1"},
    {{0xD0, 0x0F}, "ror\tbyte ptr [bx],1"},
    {{0xD1, 0x16, 0x34, 0x12}, "rcl\tword ptr [1234],1"},
    {{0xD1, 0xDF}, "rcr\tdi,1"},
    {{0xD0, 0xE4}, "shl\tah,1"},
    {{0xD1, 0x6E, 0xFE}, "shr\tword ptr [bp+fe],1"},
    {{0xD0, 0xF3}, "sal\tbl,1"},
    {{0xD1, 0xF8}, "sar\tax,1"},
    {{0xD2, 0x1C}, "rcr\tbyte ptr [si],cl"},
    {{0xD3, 0xE3}, "shl\tbx,cl"},
    {{0xD3, 0x7E, 0x02}, "sar\tword ptr [bp+02],cl"},
    {{0xD2, 0xC1}, "rol\tcl,cl"},
    {{0xC0, 0xF1, 0x05}, "sal\tcl,05"},
    {{0xC1, 0xE0, 0x21}, "shl\tax,21"},
    {{0xC0, 0x47, 0x02, 0x03}, "rol\tbyte ptr [bx+02],03"},
    {{0xC1, 0xBF, 0x34, 0x12, 0x07}, "sar\tword ptr [bx+1234],07"},
    {{0xC1, 0x2E, 0x00, 0x02, 0xFF}, "shr\tword ptr [0200],ff"},
    {{0x26, 0xD0, 0x27}, "shl\tbyte ptr es:[bx],1"},
    {{0x2E, 0xC1, 0x4F, 0x10, 0x03}, "ror\tword ptr cs:[bx+10],03"},
};

class ShiftTextTest : public ::testing::TestWithParam<TextCase> {};

// Decode-only: the text and length are complete, and nothing but IP changes.
TEST_P(ShiftTextTest, DecodesExactTextAndChangesNothingButIp) {
    const TextCase& c = GetParam();
    ShiftMachine m;
    m.load(c.bytes);
    m.cpu.ax = 0x8181;
    m.cpu.bx = 0x0200;
    m.cpu.cx = 0x0003;
    m.cpu.cfFlag = 1;
    m.poke(0x0200, {0xC3, 0x81});
    const std::vector<uint8_t> memoryBefore(m.cpu.memory.get(), m.cpu.memory.get() + kMemorySize);
    const uint16_t ax = m.cpu.ax, cx = m.cpu.cx, flags = packFlags(m.cpu);
    m.decode();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, 0x0100 + c.bytes.size());
    EXPECT_EQ(m.cpu.ax, ax);
    EXPECT_EQ(m.cpu.cx, cx);
    EXPECT_EQ(packFlags(m.cpu), flags);
    EXPECT_TRUE(std::equal(memoryBefore.begin(), memoryBefore.end(), m.cpu.memory.get()));
}

INSTANTIATE_TEST_SUITE_P(Forms, ShiftTextTest, ::testing::ValuesIn(kTextCases));

TEST(ShiftExecutedTextTest, MatchesTheDecodedText) {
    ShiftMachine m;
    m.load({0xC1, 0xE0, 0x21});
    m.run();
    EXPECT_EQ(m.text(), "shl\tax,21");
}

}  // namespace
