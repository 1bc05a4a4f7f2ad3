// Software interrupts and the DOS services answered by the host. The interrupt frame follows the
// system's stack convention: flags at SS:SP, CS at SS:SP-2, IP at SS:SP-4, SP ending 6 lower.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/machine.h"

namespace {

constexpr uint16_t kAllFlags = 0x0FD5;  // OF DF IF TF SF ZF AF PF CF

class InterruptTest : public ::testing::Test {
protected:
    // Executes one instruction and returns what it printed.
    std::string runCapturing() {
        testing::internal::CaptureStdout();
        m.run();
        return testing::internal::GetCapturedStdout();
    }
    uint32_t stackAt(uint16_t offset) const { return linearOf(m.cpu.ss, offset); }
    // The frame a push of flags, CS, IP leaves below the SP the interrupt started with.
    void expectFrame(uint16_t spBefore, uint16_t ip, uint16_t cs, uint16_t flags) const {
        EXPECT_EQ(m.peekWord(stackAt(static_cast<uint16_t>(spBefore - 4))), ip);
        EXPECT_EQ(m.peekWord(stackAt(static_cast<uint16_t>(spBefore - 2))), cs);
        EXPECT_EQ(m.peekWord(stackAt(spBefore)), flags);
    }
    void setVector(uint8_t n, uint16_t segment, uint16_t offset) {
        writeWordLinear(m.cpu, n * 4u, offset);
        writeWordLinear(m.cpu, n * 4u + 2, segment);
    }
    TestMachine m;
};

// ---- texts and decode-only steps

struct DecodeCase {
    std::vector<uint8_t> bytes;
    const char* text;
};

class InterruptDecodeTest : public InterruptTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(InterruptDecodeTest, FormatsTheTextAndChangesNothingButIp) {
    const DecodeCase& c = GetParam();
    uint32_t at = linearOf(m.cpu.cs, m.cpu.ip);
    for (uint8_t b : c.bytes) writeByteLinear(m.cpu, at++, b);
    m.cpu.ax = 0x4C00;  // what would make INT 21h print and stop
    unpackFlags(m.cpu, kAllFlags);  // OF set: INTO would call
    for (uint16_t offset = 0xFFF0; offset != 0; ++offset) writeByteLinear(m.cpu, stackAt(offset), 0x5A);

    testing::internal::CaptureStdout();
    m.decode();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, 0x0100 + c.bytes.size());
    EXPECT_EQ(m.cpu.cs, 0);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(m.cpu.stopRequested, 0);
    EXPECT_EQ(packFlags(m.cpu), kAllFlags);
    for (uint16_t offset = 0xFFF0; offset != 0; ++offset) {
        EXPECT_EQ(m.peek(stackAt(offset)), 0x5A) << "nothing pushed at " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, InterruptDecodeTest,
                         ::testing::Values(DecodeCase{{0xCC}, "int3"}, DecodeCase{{0xCD, 0x21}, "int\t21"},
                                           DecodeCase{{0xCD, 0x03}, "int\t03"},
                                           DecodeCase{{0xCD, 0xFF}, "int\tff"}, DecodeCase{{0xCE}, "into"},
                                           DecodeCase{{0xCF}, "iret"}));

// ---- DOS services

struct DosCase {
    const char* name;
    uint16_t ax, bx, cx;
    uint16_t ds, dx;
    std::vector<std::pair<uint32_t, std::string>> memory;  // bytes placed before the call
    std::string output;
    bool stops;
};

class DosServiceTest : public InterruptTest, public ::testing::WithParamInterface<DosCase> {};

// Every function: its output, CF cleared, the frame dropped (SP as before) but left in memory,
// execution continuing after the INT with CS unchanged.
TEST_P(DosServiceTest, PrintsAndReturnsAfterTheIntWithCfClear) {
    const DosCase& c = GetParam();
    Cpu& cpu = m.cpu;
    cpu.cs = 0x0010;
    cpu.ss = 0x3000;
    cpu.ax = c.ax;
    cpu.bx = c.bx;
    cpu.cx = c.cx;
    cpu.ds = c.ds;
    cpu.dx = c.dx;
    cpu.es = 0x4444;
    unpackFlags(cpu, kAllFlags);
    for (const auto& [linear, bytes] : c.memory) {
        for (size_t i = 0; i < bytes.size(); ++i) writeByteLinear(cpu, linear + i, static_cast<uint8_t>(bytes[i]));
    }
    m.code({0xCD, 0x21});

    EXPECT_EQ(runCapturing(), c.output);

    EXPECT_EQ(cpu.stopRequested, c.stops ? 1 : 0);
    EXPECT_EQ(cpu.cfFlag, 0);
    EXPECT_EQ(packFlags(cpu), kAllFlags & ~1u);
    EXPECT_EQ(cpu.sp, 0xFFF8);
    EXPECT_EQ(cpu.ip, 0x0102);
    EXPECT_EQ(cpu.cs, 0x0010);
    expectFrame(0xFFF8, 0x0102, 0x0010, kAllFlags);
    // No function here returns anything in a register.
    EXPECT_EQ(cpu.ax, c.ax);
    EXPECT_EQ(cpu.bx, c.bx);
    EXPECT_EQ(cpu.cx, c.cx);
    EXPECT_EQ(cpu.dx, c.dx);
    EXPECT_EQ(cpu.ds, c.ds);
    EXPECT_EQ(cpu.es, 0x4444);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Functions, DosServiceTest,
    ::testing::Values(
        DosCase{"PrintStopsAtDollar", 0x0900, 0, 0, 0x2000, 0x0010, {{0x20010, "AB$C\0"s}}, "AB", false},
        DosCase{"PrintStopsAtNul", 0x0900, 0, 0, 0x2000, 0x0010, {{0x20010, "AB\0$C"s}}, "AB", false},
        DosCase{"PrintEmptyString", 0x0900, 0, 0, 0x2000, 0x0010, {{0x20010, "$AB"s}}, "", false},
        DosCase{"PrintIsUntranslated", 0x0900, 0, 0, 0x2000, 0x0010, {{0x20010, "\r\n\xFF\x81\x40$"s}},
                "\r\n\xFF\x81\x40", false},
        // F000:FFFE is linear FFFFE: the string runs on from the image's top to address 0.
        DosCase{"PrintWrapsAtTheImageTop", 0x0900, 0, 0, 0xF000, 0xFFFE, {{0xFFFFE, "AB"s}, {0, "C$"s}}, "ABC",
                false},
        DosCase{"WriteStandardError", 0x4000, 2, 3, 0x2000, 0x0010, {{0x20010, "x\0$y"s}}, "x\0$"s, false},
        DosCase{"WriteOtherHandle", 0x4000, 1, 3, 0x2000, 0x0010, {{0x20010, "xyz"s}}, "", false},
        DosCase{"WriteNothing", 0x4000, 2, 0, 0x2000, 0x0010, {{0x20010, "xyz"s}}, "", false},
        // The offset wraps inside DS: FFFF, then 0000.
        DosCase{"WriteWrapsInsideTheSegment", 0x4000, 2, 2, 0x2000, 0xFFFF, {{0x2FFFF, "pq"s}, {0x20000, "r"s}},
                "pr", false},
        DosCase{"AllocMemory", 0x4800, 0x1234, 0, 0, 0, {}, "alloc memory block\n", false},
        DosCase{"DeallocMemory", 0x4900, 0, 0, 0, 0, {}, "dealloc memory block\n", false},
        DosCase{"ResizeMemory", 0x4A00, 0x0010, 0, 0, 0, {}, "change alloc memory block\n", false},
        DosCase{"StayResident", 0x3100, 0, 0, 0, 0x0100, {}, "stay resident\n", true},
        DosCase{"Terminate", 0x4C01, 0, 0, 0, 0, {}, "terminate a process\n", true},
        DosCase{"Unknown", 0x0200, 0, 0, 0, 0x0041, {}, "not dos-function implement\n", false},
        DosCase{"UnknownHighFunction", 0xFF00, 0, 0, 0, 0, {}, "not dos-function implement\n", false}),
    [](const ::testing::TestParamInfo<DosCase>& info) { return std::string(info.param.name); });

TEST_F(InterruptTest, SetAndReadVectorRoundTrip) {
    Cpu& cpu = m.cpu;
    cpu.ax = 0x2508;
    cpu.ds = 0x1234;
    cpu.dx = 0x5678;
    m.code({0xCD, 0x21, 0xCD, 0x21});
    EXPECT_EQ(runCapturing(), "set interrupt vector [08][1234:5678]\n");
    EXPECT_EQ(m.peek(0x20), 0x78);
    EXPECT_EQ(m.peek(0x21), 0x56);
    EXPECT_EQ(m.peek(0x22), 0x34);
    EXPECT_EQ(m.peek(0x23), 0x12);
    EXPECT_EQ(m.peekWord(0x1C), 0x0008);  // neighbours untouched
    EXPECT_EQ(m.peekWord(0x24), 0x0008);

    cpu.ax = 0x3508;
    cpu.ds = 0;
    cpu.es = 0xAAAA;
    cpu.bx = 0xBBBB;
    EXPECT_EQ(runCapturing(), "read interrupt vector [08][1234:5678]\n");
    EXPECT_EQ(cpu.bx, 0x5678);
    EXPECT_EQ(cpu.es, 0x1234);
    EXPECT_EQ(cpu.ip, 0x0104);
    EXPECT_EQ(cpu.sp, 0xFFF8);
}

TEST_F(InterruptTest, ReadVectorShowsAnUntouchedVector) {
    m.cpu.ax = 0x35FF;
    m.code({0xCD, 0x21});
    EXPECT_EQ(runCapturing(), "read interrupt vector [ff][ffff:0008]\n");
    EXPECT_EQ(m.cpu.es, 0xFFFF);
    EXPECT_EQ(m.cpu.bx, 0x0008);
}

// A string with neither '$' nor NUL anywhere is printed once across the whole image, then stops.
TEST_F(InterruptTest, PrintWithoutTerminatorEndsAfterOnePassOverTheImage) {
    Cpu& cpu = m.cpu;
    std::memset(cpu.memory.get(), 'x', kMemorySize);
    // The frame lands in the image too: keep its bytes free of terminators.
    cpu.cs = 0x1111;
    unpackFlags(cpu, kAllFlags);
    cpu.ax = 0x0900;
    cpu.ds = 0x5000;
    m.code({0xCD, 0x21});
    const std::string printed = runCapturing();
    EXPECT_EQ(printed.size(), kMemorySize);
    EXPECT_EQ(printed.substr(0, 4), "xxxx");
    EXPECT_EQ(cpu.ip, 0x0102);
    EXPECT_EQ(cpu.sp, 0xFFF8);
}

// ---- calls through the vector table

TEST_F(InterruptTest, UntouchedVectorRunsTheFarReturnAtFfff8) {
    Cpu& cpu = m.cpu;
    unpackFlags(cpu, 0x0201);  // IF and CF
    m.code({0xCD, 0x10});
    EXPECT_EQ(runCapturing(), "");
    EXPECT_EQ(cpu.cs, 0xFFFF);
    EXPECT_EQ(cpu.ip, 0x0008);
    EXPECT_EQ(cpu.sp, 0xFFF2);
    expectFrame(0xFFF8, 0x0102, 0x0000, 0x0201);
    EXPECT_EQ(cpu.ifFlag, 1);  // entering an interrupt clears neither IF nor TF

    m.run();  // retf: pops IP and CS only, the flags word stays behind
    EXPECT_EQ(m.text(), "retf");
    EXPECT_EQ(cpu.cs, 0x0000);
    EXPECT_EQ(cpu.ip, 0x0102);
    EXPECT_EQ(cpu.sp, 0xFFF6);
}

TEST_F(InterruptTest, IntReadsOffsetThenSegmentOfItsVector) {
    setVector(0x60, 0x2345, 0x0678);
    m.cpu.ss = 0x0800;
    m.cpu.cs = 0x0030;
    m.code({0xCD, 0x60});
    m.run();
    EXPECT_EQ(m.cpu.cs, 0x2345);
    EXPECT_EQ(m.cpu.ip, 0x0678);
    EXPECT_EQ(m.cpu.sp, 0xFFF2);
    expectFrame(0xFFF8, 0x0102, 0x0030, 0x0200);
}

TEST_F(InterruptTest, Int3ByteStopsWhileIntThreeCallsVectorThree) {
    setVector(3, 0x0700, 0x0050);
    m.code({0xCC, 0xCD, 0x03});
    m.run();
    EXPECT_EQ(m.cpu.stopRequested, 1);
    EXPECT_EQ(m.cpu.ip, 0x0101);
    EXPECT_EQ(m.cpu.cs, 0x0000);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(m.peekWord(0xFFF4), 0x0000);  // nothing pushed

    m.cpu.stopRequested = 0;
    m.run();
    EXPECT_EQ(m.cpu.stopRequested, 0);
    EXPECT_EQ(m.cpu.cs, 0x0700);
    EXPECT_EQ(m.cpu.ip, 0x0050);
    EXPECT_EQ(m.cpu.sp, 0xFFF2);
    expectFrame(0xFFF8, 0x0103, 0x0000, 0x0200);
}

TEST_F(InterruptTest, IntoWithoutOverflowDoesNothing) {
    setVector(4, 0x0700, 0x0050);
    m.code({0xCE});
    m.run();
    EXPECT_EQ(m.cpu.ip, 0x0101);
    EXPECT_EQ(m.cpu.cs, 0x0000);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
    EXPECT_EQ(m.peekWord(0xFFF4), 0x0000);
    EXPECT_EQ(m.peekWord(0xFFF8), 0x0000);
}

TEST_F(InterruptTest, IntoWithOverflowCallsVectorFour) {
    setVector(4, 0x0700, 0x0050);
    m.cpu.ofFlag = 1;
    m.code({0xCE});
    m.run();
    EXPECT_EQ(m.cpu.cs, 0x0700);
    EXPECT_EQ(m.cpu.ip, 0x0050);
    EXPECT_EQ(m.cpu.sp, 0xFFF2);
    expectFrame(0xFFF8, 0x0101, 0x0000, 0x0A00);
}

// ---- IRET

class IretFlagsTest : public InterruptTest, public ::testing::WithParamInterface<uint16_t> {};

// A handler that is a single IRET brings back CS, IP, SP and every flag as they were.
TEST_P(IretFlagsTest, IntIntoAnIretHandlerRestoresEverything) {
    Cpu& cpu = m.cpu;
    const uint16_t flags = GetParam();
    setVector(0x61, 0x0900, 0x0040);
    m.poke(linearOf(0x0900, 0x0040), {0xCF});
    cpu.cs = 0x0020;
    unpackFlags(cpu, flags);
    m.code({0xCD, 0x61});
    m.run();
    // The handler's flags differ from the caller's: IRET must put every one of them back.
    unpackFlags(cpu, static_cast<uint16_t>(~flags));
    m.run();
    EXPECT_EQ(m.text(), "iret");
    EXPECT_EQ(cpu.cs, 0x0020);
    EXPECT_EQ(cpu.ip, 0x0102);
    EXPECT_EQ(cpu.sp, 0xFFF8);
    EXPECT_EQ(packFlags(cpu), flags & kAllFlags);
    for (uint8_t Cpu::*flag : {&Cpu::ofFlag, &Cpu::dfFlag, &Cpu::ifFlag, &Cpu::tfFlag, &Cpu::sfFlag, &Cpu::zfFlag,
                               &Cpu::afFlag, &Cpu::pfFlag, &Cpu::cfFlag}) {
        EXPECT_LE(cpu.*flag, 1);
    }
}

// All set, all clear, alternate flags, and a word whose extra bits must be ignored.
INSTANTIATE_TEST_SUITE_P(Patterns, IretFlagsTest, ::testing::Values(0x0FD5, 0x0000, 0x0A45, 0x0590, 0xFFFF));

TEST_F(InterruptTest, IretPopsIpThenCsThenFlags) {
    Cpu& cpu = m.cpu;
    cpu.ss = 0x4000;
    cpu.sp = 0x0100;
    m.poke(linearOf(0x4000, 0x0102), {0x34, 0x12, 0x78, 0x56, 0x41, 0x08});
    m.code({0xCF});
    m.run();
    EXPECT_EQ(cpu.ip, 0x1234);
    EXPECT_EQ(cpu.cs, 0x5678);
    EXPECT_EQ(cpu.sp, 0x0106);
    EXPECT_EQ(packFlags(cpu), 0x0841);  // OF, ZF, CF
}

}  // namespace
