// The exact 8086 where the recorded hardware states do not reach: the 80186 instructions it keeps
// (ENTER, LEAVE, PUSHA, the shifts by an immediate), the prefixes (LOCK, the last repeat prefix
// deciding), the texts of its own forms, the monitor's stop requests, and the DOS services.
#include <gtest/gtest.h>

#include <string>

#include "support/machine.h"

namespace {

struct ExactMachine : TestMachine {
    ExactMachine() { cpu.mode = CpuMode::exact; }
};

TEST(ExactMode, EnterBuildsNestedFramesAndLeaveReleasesThem) {
    ExactMachine m;
    m.cpu.bp = 0xFF00;
    m.poke(0xFEFE, {0xCD, 0xAB});  // the enclosing frame's saved frame pointer, read at BP - 2
    m.code({0xC8, 0x10, 0x00, 0x02,  // enter 0010,02
            0xC9});                  // leave
    m.run();
    EXPECT_EQ(m.text(), "enter\t0010,02");
    // push BP (at FFF6), copy [BP-2] (at FFF4), push the new frame pointer FFF6 (at FFF2).
    EXPECT_EQ(m.peekWord(0xFFF6), 0xFF00);
    EXPECT_EQ(m.peekWord(0xFFF4), 0xABCD);
    EXPECT_EQ(m.peekWord(0xFFF2), 0xFFF6);
    EXPECT_EQ(m.cpu.bp, 0xFFF6);
    EXPECT_EQ(m.cpu.sp, 0xFFF2 - 0x10);
    m.run();
    EXPECT_EQ(m.text(), "leave");
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(m.cpu.bp, 0xFF00);
}

TEST(ExactMode, EnterWithLevelZeroOnlySavesBpAndReserves) {
    ExactMachine m;
    m.cpu.bp = 0x1234;
    m.code({0xC8, 0x04, 0x00, 0x00});
    m.run();
    EXPECT_EQ(m.peekWord(0xFFF6), 0x1234);
    EXPECT_EQ(m.cpu.bp, 0xFFF6);
    EXPECT_EQ(m.cpu.sp, 0xFFF2);
}

TEST(ExactMode, PushaStoresSpAsItWasAndPopaSkipsIt) {
    ExactMachine m;
    m.cpu.ax = 1; m.cpu.cx = 2; m.cpu.dx = 3; m.cpu.bx = 4; m.cpu.bp = 5; m.cpu.si = 6; m.cpu.di = 7;
    m.code({0x60, 0x61});
    m.run();
    EXPECT_EQ(m.cpu.sp, 0xFFE8);
    const uint16_t expected[8] = {7, 6, 5, 0xFFF8, 4, 3, 2, 1};  // DI at the lowest address
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m.peekWord(0xFFE8 + 2 * i), expected[i]) << i;
    m.cpu.ax = m.cpu.cx = m.cpu.dx = m.cpu.bx = m.cpu.bp = m.cpu.si = m.cpu.di = 0;
    m.run();
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(m.cpu.ax, 1);
    EXPECT_EQ(m.cpu.di, 7);
}

// The 80186 forms mask their count to five bits and run reg 6 as SAL; the 8086's D0-D3 reg 6 is SETMO.
TEST(ExactMode, ShiftsByAnImmediateAreThe80186s) {
    struct Case {
        std::initializer_list<uint8_t> bytes;
        uint16_t ax, expectedAx;
        const char* text;
    };
    const Case cases[] = {
        {{0xC0, 0xE0, 0x21}, 0x0041, 0x0082, "shl\tal,21"},  // count 0x21 acts as 1
        {{0xC0, 0xF0, 0x02}, 0x0003, 0x000C, "sal\tal,02"},  // reg 6: SAL
        {{0xD0, 0xF0}, 0x0003, 0x00FF, "setmo\tal,1"},
        {{0xD3, 0xF0}, 0x1234, 0xFFFF, "setmoc\tax,cl"},     // CL = 1 below
        {{0xD2, 0xE0}, 0x0001, 0x0002, "shl\tal,cl"},
    };
    for (const Case& c : cases) {
        ExactMachine m;
        m.cpu.ax = c.ax;
        m.cpu.cx = 1;
        m.code(c.bytes);
        m.cpu.textWanted = 1;
        m.run();
        EXPECT_EQ(m.cpu.ax, c.expectedAx) << c.text;
        EXPECT_EQ(m.text(), c.text);
    }
}

TEST(ExactMode, ACountOfCl256IsNoShift) {
    ExactMachine m;
    m.cpu.ax = 0x0081;
    m.cpu.cx = 0x0100;  // CL = 0: the 8086 takes CL only
    m.code({0xD2, 0xE0});
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x0081);
}

// LOCK (F0, and its alias F1) is a prefix: it shows in the text and the instruction runs in the
// same step.
TEST(ExactMode, LockIsAPrefix) {
    for (uint8_t lock : {0xF0, 0xF1}) {
        ExactMachine m;
        m.cpu.textWanted = 1;
        m.code({lock, 0x40});
        m.run();
        EXPECT_EQ(m.text(), "lock inc\tax");
        EXPECT_EQ(m.cpu.ax, 1);
        EXPECT_EQ(m.cpu.ip, 0x0102);
    }
}

// F3 F2 A6: the 8086 repeats while not equal, as the last prefix says (the standard mode lets F3
// decide).
TEST(ExactMode, TheLastRepeatPrefixDecides) {
    for (CpuMode mode : {CpuMode::exact, CpuMode::standard}) {
        TestMachine m;
        m.cpu.mode = mode;
        m.cpu.si = 0x0200;
        m.cpu.di = 0x0300;
        m.cpu.cx = 4;
        m.poke(0x0200, {1, 2, 3, 4});
        m.poke(0x0300, {9, 9, 3, 9});
        m.code({0xF3, 0xF2, 0xA6});
        m.run();
        EXPECT_EQ(m.cpu.cx, mode == CpuMode::exact ? 1 : 3);
    }
}

TEST(ExactMode, EscapesTakeTheirOperandAndShowIt) {
    ExactMachine m;
    m.cpu.textWanted = 1;
    m.code({0xD9, 0x3E, 0x34, 0x12, 0xDF, 0xE0});
    m.run();
    EXPECT_EQ(m.text(), "esc\t0f,[1234]");
    EXPECT_EQ(m.cpu.ip, 0x0104);
    m.run();
    EXPECT_EQ(m.text(), "esc\t3c,ax");
    EXPECT_EQ(m.cpu.ip, 0x0106);
}

// A word immediate whose high byte lies past offset FFFF is fetched from offset 0000 of CS.
TEST(ExactMode, InstructionFetchWrapsInsideCs) {
    ExactMachine m;
    m.cpu.cs = 0x1000;
    m.cpu.ip = 0xFFFE;
    m.poke(0x1FFFE, {0xB8, 0x34});  // mov ax,..34
    m.poke(0x10000, {0x12});
    m.poke(0x20000, {0x99});        // where the standard mode would look
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x1234);
    EXPECT_EQ(m.cpu.ip, 0x0001);
}

// The monitor stops a run after the processor has entered the handler.
TEST(ExactMode, DivideErrorAndBreakpointRequestAStop) {
    ExactMachine m;
    m.code({0xF6, 0xF3});  // div bl, BL = 0
    testing::internal::CaptureStdout();
    m.run();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "division by zero\n");
    EXPECT_EQ(m.cpu.stopRequested, 1);
    EXPECT_EQ(m.cpu.cs, 0xFFFF);
    EXPECT_EQ(m.cpu.ip, 0x0008);
    EXPECT_EQ(m.peekWord(0xFFF2), 0x0102);  // the IP after the DIV

    ExactMachine b;
    b.code({0xCC});
    b.run();
    EXPECT_EQ(b.cpu.stopRequested, 1);
    EXPECT_EQ(b.peekWord(0xFFF2), 0x0101);
    EXPECT_EQ(b.cpu.ifFlag, 0);
}

// INT 21h is the host's DOS service in both modes: the frame is pushed the 8086's way and dropped
// again, IF stays set, CF reads 0.
TEST(ExactMode, DosServicesAnswerInsideTheInt) {
    ExactMachine m;
    m.cpu.ax = 0x0900;
    m.cpu.dx = 0x0200;
    m.cpu.cfFlag = 1;
    m.poke(0x0200, {'h', 'i', '$'});
    m.code({0xCD, 0x21});
    testing::internal::CaptureStdout();
    m.run();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hi");
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(m.cpu.ip, 0x0102);
    EXPECT_EQ(m.cpu.ifFlag, 1);
    EXPECT_EQ(m.cpu.cfFlag, 0);
    EXPECT_EQ(m.peekWord(0xFFF2), 0x0102);  // the frame's IP word, below SP
}

}  // namespace
