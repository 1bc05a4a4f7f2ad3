#include "disasm/register_display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/machine.h"

namespace {

// Captures what showRegisters writes into a file.
std::string display(Cpu& cpu, uint16_t* next = nullptr) {
    std::FILE* file = std::tmpfile();
    const uint16_t after = showRegisters(cpu, file);
    if (next) *next = after;
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
}

const char kStartupRegisters[] =
    "ax:0000  bx:0000  cx:0000  dx:0000  sp:fff8  bp:0000  si:0000  di:0000\n"
    "ds:0000  es:0000  ss:0000  cs:0000  ip:0100  NV UP EI PL NZ NA PO NC\n";

TEST(RegisterDisplay, StartupStateShowsTheThreeLines) {
    TestMachine m;
    m.code({0xB8, 0x01, 0x00});
    uint16_t next = 0;
    EXPECT_EQ(display(m.cpu, &next),
              std::string(kStartupRegisters) + "0000:0100  b80100            mov\tax,0001\t\n");
    EXPECT_EQ(next, 0x0103);
    EXPECT_EQ(m.cpu.ip, 0x0100);
}

TEST(RegisterDisplay, FlagNamesFollowEachFlag) {
    TestMachine m;
    m.cpu.ofFlag = m.cpu.dfFlag = m.cpu.sfFlag = m.cpu.zfFlag = m.cpu.afFlag = m.cpu.pfFlag = m.cpu.cfFlag = 1;
    m.cpu.ifFlag = 0;
    m.cpu.tfFlag = 1;  // not shown
    const std::string out = display(m.cpu);
    EXPECT_NE(out.find("ip:0100  OV DN DI NG ZF AC PE CY\n"), std::string::npos) << out;
}

TEST(RegisterDisplay, NineCodeBytesFitTenAreCut) {
    TestMachine m;
    // Eight CS prefixes and a NOP: nine bytes, all shown, the text right after them.
    m.code({0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x90});
    EXPECT_EQ(display(m.cpu).substr(sizeof kStartupRegisters - 1), "0000:0100  2e2e2e2e2e2e2e2e90nop\t\n");

    TestMachine ten;
    ten.code({0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x90});
    uint16_t next = 0;
    EXPECT_EQ(display(ten.cpu, &next).substr(sizeof kStartupRegisters - 1),
              "0000:0100  2e2e2e2e2e2e2e2e2enop\t\n");
    EXPECT_EQ(next, 0x010A);
}

TEST(RegisterDisplay, InstructionWrappingPastFFFFShowsNoBytes) {
    TestMachine m;
    m.cpu.ip = 0xFFFF;
    m.poke(0xFFFF, {0x90});
    uint16_t next = 1;
    const std::string out = display(m.cpu, &next);
    EXPECT_EQ(next, 0x0000);
    EXPECT_NE(out.find("\n0000:ffff                    nop\t\n"), std::string::npos) << out;
}

TEST(RegisterDisplay, PrefixChainLongerThanSixteenBytesShowsOneByte) {
    TestMachine m;
    // Fifteen segment prefixes, then a two-byte opcode: 17 bytes in one instruction.
    m.code({0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x0F, 0x05});
    uint16_t next = 0;
    const std::string out = display(m.cpu, &next);
    EXPECT_EQ(next, 0x0111);
    EXPECT_NE(out.find("\n0000:0100  2e                ext\t\n"), std::string::npos) << out;
}

TEST(RegisterDisplay, BreakpointMarksEnabledAndDisabled) {
    TestMachine m;
    m.code({0x90});
    m.cpu.BreakpointTable[0x0100] = 1;
    EXPECT_EQ(display(m.cpu).substr(sizeof kStartupRegisters - 1), "0000:0100* 90                nop\t\t<--bp:e\n");
    m.cpu.BreakpointTable[0x0100] = 0;
    EXPECT_EQ(display(m.cpu).substr(sizeof kStartupRegisters - 1), "0000:0100* 90                nop\t\t<--bp:d\n");
}

TEST(RegisterDisplay, BreakpointKeyIsTheLinearSum) {
    TestMachine m;
    m.cpu.cs = 0x0010;
    m.cpu.ip = 0x0000;  // 0010:0000 is linear 0x100
    m.poke(0x100, {0x90});
    m.cpu.BreakpointTable[0x0100] = 1;
    EXPECT_NE(display(m.cpu).find("\n0010:0000* 90"), std::string::npos);
}

TEST(RegisterDisplay, LongTextAndNoteArePrintedWhole) {
    TestMachine m;
    // Ten REPNZ prefixes make a text longer than the 63-column field.
    m.code({0xF2, 0xF2, 0xF2, 0xF2, 0xF2, 0xF2, 0xF2, 0xF2, 0xF2, 0xF2, 0x26, 0x8B, 0x87, 0x34, 0x12});
    m.cpu.BreakpointTable[0x0100] = 1;
    m.cpu.bx = 0xFFFF;
    const std::string out = display(m.cpu);
    const std::string line = out.substr(sizeof kStartupRegisters - 1);
    const std::string text = m.cpu.asmText;
    EXPECT_EQ(text.substr(0, 12), "repnz repnz ");
    EXPECT_EQ(line, "0000:0100* f2f2f2f2f2f2f2f2f2" + text + "\t(11233:0000)\t<--bp:e\n");
    EXPECT_GT(line.size(), 11u + 63u);
}

TEST(RegisterDisplay, LeavesMachineStateAlone) {
    TestMachine m;
    m.code({0xCD, 0x21});  // INT 21h must not run
    m.cpu.ax = 0x4C00;
    const uint16_t sp = m.cpu.sp;
    display(m.cpu);
    EXPECT_EQ(m.cpu.ip, 0x0100);
    EXPECT_EQ(m.cpu.sp, sp);
    EXPECT_EQ(m.cpu.stopRequested, 0);
}

}  // namespace
