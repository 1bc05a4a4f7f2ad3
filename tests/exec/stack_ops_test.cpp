// Stack instructions under the system's convention: a push stores at SS:SP and then lowers SP by 2,
// a pop raises SP by 2 and then reads at SS:SP.
#include <gtest/gtest.h>

#include <vector>

#include "core/operands.h"
#include "exec/handlers.h"
#include "support/machine.h"

namespace {

class StackTest : public ::testing::Test {
protected:
    void load(const std::vector<uint8_t>& bytes) {
        uint32_t at = linearOf(m.cpu.cs, m.cpu.ip);
        for (uint8_t b : bytes) writeByteLinear(m.cpu, at++, b);
    }
    uint16_t stackWord(uint16_t offset) const { return m.peekWord(linearOf(m.cpu.ss, offset)); }
    TestMachine m;
};

TEST_F(StackTest, PushStoresAtSpThenPopReadsItBack) {
    m.cpu.ax = 0xBEEF;
    load({0x50, 0x5B});  // push ax; pop bx
    m.run();
    EXPECT_EQ(m.peek(0xFFF8), 0xEF);
    EXPECT_EQ(m.peek(0xFFF9), 0xBE);
    EXPECT_EQ(m.cpu.sp, 0xFFF6);
    m.run();
    EXPECT_EQ(m.cpu.bx, 0xBEEF);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
}

TEST_F(StackTest, PushAndPopUseSs) {
    m.cpu.ss = 0x2000;
    m.cpu.sp = 0x0010;
    m.cpu.di = 0x1357;
    load({0x57, 0x59});  // push di; pop cx
    m.run();
    EXPECT_EQ(m.peekWord(0x20010), 0x1357);
    m.run();
    EXPECT_EQ(m.cpu.cx, 0x1357);
}

TEST_F(StackTest, SpWrapsAtBothEnds) {
    m.cpu.sp = 0x0000;
    m.cpu.dx = 0x4455;
    load({0x52, 0x5A});  // push dx; pop dx
    m.run();
    EXPECT_EQ(m.peekWord(0x0000), 0x4455);
    EXPECT_EQ(m.cpu.sp, 0xFFFE);
    m.cpu.dx = 0;
    m.run();
    EXPECT_EQ(m.cpu.sp, 0x0000);
    EXPECT_EQ(m.cpu.dx, 0x4455);
}

TEST_F(StackTest, PushSpStoresSpAsItWasBeforeThePush) {
    m.cpu.sp = 0x1000;
    load({0x54});
    m.run();
    EXPECT_EQ(stackWord(0x1000), 0x1000);
    EXPECT_EQ(m.cpu.sp, 0x0FFE);
}

TEST_F(StackTest, PopSpLoadsTheWordReadAfterRaisingSp) {
    m.cpu.sp = 0x0FFE;
    m.poke(0x1000, {0x34, 0x12});
    load({0x5C});
    m.run();
    EXPECT_EQ(m.cpu.sp, 0x1234);
}

TEST_F(StackTest, SegmentRegistersPushAndPop) {
    struct Case {
        uint8_t push;
        uint8_t pop;
        uint16_t Cpu::*segment;
    };
    const Case cases[] = {{0x06, 0x07, &Cpu::es}, {0x16, 0x17, &Cpu::ss}, {0x1E, 0x1F, &Cpu::ds}};
    for (const Case& c : cases) {
        TestMachine x;
        x.cpu.*c.segment = 0x0ABC;
        x.cpu.sp = 0x0200;
        x.code({c.push, c.pop});
        x.run();
        const uint32_t slot = linearOf(x.cpu.ss, 0x0200);
        EXPECT_EQ(x.peekWord(slot), 0x0ABC) << std::hex << int{c.push};
        EXPECT_EQ(x.cpu.sp, 0x01FE);
        writeWordLinear(x.cpu, slot, 0x0DEF);
        x.run();
        EXPECT_EQ(x.cpu.*c.segment, 0x0DEF) << std::hex << int{c.pop};
        EXPECT_EQ(x.cpu.sp, 0x0200);
    }
}

TEST_F(StackTest, PushCs) {
    m.cpu.cs = 0x0010;
    m.cpu.ip = 0x0000;
    load({0x0E});
    m.run();
    EXPECT_EQ(stackWord(0xFFF8), 0x0010);
}

TEST_F(StackTest, PushaStoresSpBeforeTheInstructionAndPopaIgnoresIt) {
    m.cpu.ax = 0x1111;
    m.cpu.cx = 0x2222;
    m.cpu.dx = 0x3333;
    m.cpu.bx = 0x4444;
    m.cpu.bp = 0x5555;
    m.cpu.si = 0x6666;
    m.cpu.di = 0x7777;
    m.cpu.sp = 0x0100;
    m.cpu.ss = 0x1000;
    load({0x60, 0x61});
    m.run();
    EXPECT_EQ(m.cpu.sp, 0x00F0);
    const uint16_t expected[] = {0x1111, 0x2222, 0x3333, 0x4444, 0x0100, 0x5555, 0x6666, 0x7777};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(stackWord(static_cast<uint16_t>(0x0100 - 2 * i)), expected[i]) << i;
    }

    writeWordLinear(m.cpu, linearOf(m.cpu.ss, 0x00F8), 0xDEAD);  // the stored SP
    m.cpu.ax = m.cpu.cx = m.cpu.dx = m.cpu.bx = m.cpu.bp = m.cpu.si = m.cpu.di = 0;
    m.run();
    EXPECT_EQ(m.cpu.sp, 0x0100);
    EXPECT_EQ(m.cpu.ax, 0x1111);
    EXPECT_EQ(m.cpu.cx, 0x2222);
    EXPECT_EQ(m.cpu.dx, 0x3333);
    EXPECT_EQ(m.cpu.bx, 0x4444);
    EXPECT_EQ(m.cpu.bp, 0x5555);
    EXPECT_EQ(m.cpu.si, 0x6666);
    EXPECT_EQ(m.cpu.di, 0x7777);
}

TEST_F(StackTest, PushImmediateByteIsSignExtended) {
    struct Case {
        uint8_t byte;
        uint16_t pushed;
    };
    const Case cases[] = {{0x80, 0xFF80}, {0xFF, 0xFFFF}, {0x7F, 0x007F}, {0x05, 0x0005}, {0x00, 0x0000}};
    for (const Case& c : cases) {
        TestMachine x;
        x.code({0x6A, c.byte});
        x.run();
        EXPECT_EQ(x.peekWord(0xFFF8), c.pushed) << std::hex << int{c.byte};
        EXPECT_EQ(x.cpu.sp, 0xFFF6);
        EXPECT_EQ(x.cpu.ip, 0x0102);
    }
}

TEST_F(StackTest, PushImmediateWord) {
    load({0x68, 0x34, 0x12});
    m.run();
    EXPECT_EQ(stackWord(0xFFF8), 0x1234);
    EXPECT_EQ(m.cpu.ip, 0x0103);
}

TEST_F(StackTest, PushfPacksOnlyTheNineFlags) {
    m.cpu.ifFlag = 0;
    m.cpu.cfFlag = m.cpu.zfFlag = 1;
    load({0x9C});
    m.run();
    EXPECT_EQ(stackWord(0xFFF8), 0x0041);
}

TEST_F(StackTest, PopfLoadsAllNineFlags) {
    writeWordLinear(m.cpu, 0xFFFA, 0xFFFF);
    writeWordLinear(m.cpu, 0xFFFC, 0x0000);
    load({0x9D, 0x9D});
    m.cpu.sp = 0xFFF8;
    m.run();
    const Cpu& c = m.cpu;
    for (uint8_t flag : {c.ofFlag, c.dfFlag, c.ifFlag, c.tfFlag, c.sfFlag, c.zfFlag, c.afFlag, c.pfFlag, c.cfFlag}) {
        EXPECT_EQ(flag, 1);
    }
    m.run();
    EXPECT_EQ(packFlags(m.cpu), 0x0000);
    EXPECT_EQ(m.cpu.sp, 0xFFFC);
}

TEST_F(StackTest, PopToMemoryIgnoresTheRegField) {
    writeWordLinear(m.cpu, 0xFFFA, 0xA1B2);
    load({0x8F, 0x3E, 0x00, 0x05});  // pop [0500] with reg field 7
    m.run();
    EXPECT_EQ(m.peekWord(0x0500), 0xA1B2);
    EXPECT_EQ(m.cpu.sp, 0xFFFA);
    EXPECT_EQ(m.trace(), "(00500:0000)");
}

TEST_F(StackTest, PopToRegisterThroughModRm) {
    writeWordLinear(m.cpu, 0xFFFA, 0x7654);
    load({0x8F, 0xC6});  // pop si
    m.run();
    EXPECT_EQ(m.cpu.si, 0x7654);
    EXPECT_EQ(m.cpu.sp, 0xFFFA);
}

// FF /6 is reached through the FF group, which has already taken the ModR/M byte and built the
// operand text; pushRmWord must not take any more bytes.
class PushRmTest : public StackTest {
protected:
    void runPushRm(const std::vector<uint8_t>& modrmAndDisplacement) {
        load(modrmAndDisplacement);
        decodeRmWord(m.cpu);
        formatOperands16(m.cpu);
        ipAfterOperand = m.cpu.ip;
        pushRmWord(m.cpu);
    }
    uint16_t ipAfterOperand = 0;
};

TEST_F(PushRmTest, PushesAMemoryWordWithoutASizeKeyword) {
    m.poke(0x0200, {0xCD, 0xAB});
    runPushRm({0x36, 0x00, 0x02});  // push [0200]
    EXPECT_EQ(m.text(), "push\t[0200]");
    EXPECT_EQ(m.cpu.ip, ipAfterOperand);
    EXPECT_EQ(stackWord(0xFFF8), 0xABCD);
    EXPECT_EQ(m.cpu.sp, 0xFFF6);
}

TEST_F(PushRmTest, PushesARegister) {
    m.cpu.bp = 0x2468;
    runPushRm({0xF5});  // push bp
    EXPECT_EQ(m.text(), "push\tbp");
    EXPECT_EQ(stackWord(0xFFF8), 0x2468);
}

TEST_F(PushRmTest, DecodeOnlyPushesNothing) {
    m.cpu.decodeOnly = 1;
    m.cpu.bx = 0x0200;
    runPushRm({0x77, 0x04});  // push [bx+04]
    EXPECT_EQ(m.text(), "push\t[bx+04]");
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(stackWord(0xFFF8), 0x0000);
}

}  // namespace
