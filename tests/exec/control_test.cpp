// Control transfer: conditions, relative targets, the LOOP family, call and return frames on this
// system's stack (a push stores at SS:SP, then SP -= 2), far transfers, the FF group and HLT.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "support/machine.h"

namespace {

// Every register and the packed flags, to show that an instruction changed only what it should.
struct Registers {
    uint16_t ax, bx, cx, dx, bp, si, di, sp, ip, cs, ds, es, ss, flags;
    bool operator==(const Registers&) const = default;
};

Registers registersOf(const Cpu& cpu) {
    return {cpu.ax, cpu.bx, cpu.cx, cpu.dx, cpu.bp, cpu.si, cpu.di,          cpu.sp,
            cpu.ip, cpu.cs, cpu.ds, cpu.es, cpu.ss, packFlags(cpu)};
}

void PrintTo(const Registers& r, std::ostream* os) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "ax=%04x bx=%04x cx=%04x dx=%04x bp=%04x si=%04x di=%04x sp=%04x ip=%04x cs=%04x "
                  "ds=%04x es=%04x ss=%04x flags=%04x",
                  r.ax, r.bx, r.cx, r.dx, r.bp, r.si, r.di, r.sp, r.ip, r.cs, r.ds, r.es, r.ss, r.flags);
    *os << text;
}

// Places bytes at CS:IP onwards, wrapping the offset inside the segment like the instruction fetch.
void place(TestMachine& m, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        writeByteLinear(m.cpu, linearOf(m.cpu.cs, static_cast<uint16_t>(m.cpu.ip + i)), bytes[i]);
    }
}

std::vector<uint8_t> memoryOf(const Cpu& cpu) { return {cpu.memory.get(), cpu.memory.get() + kMemorySize}; }

// ---- conditions

enum FlagBit : unsigned { O = 1, C = 2, Z = 4, S = 8, P = 16, ALL = O | C | Z | S | P };

void setFlags(Cpu& cpu, unsigned flags) {
    cpu.ofFlag = (flags & O) != 0;
    cpu.cfFlag = (flags & C) != 0;
    cpu.zfFlag = (flags & Z) != 0;
    cpu.sfFlag = (flags & S) != 0;
    cpu.pfFlag = (flags & P) != 0;
}

struct ConditionCase {
    const char* name;
    unsigned nibble;
    unsigned flags;
    bool taken;
};

class ConditionalJumps : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionalJumps, ShortFormJumpsExactlyWhenItsConditionHolds) {
    const ConditionCase& c = GetParam();
    TestMachine m;
    setFlags(m.cpu, c.flags);
    m.code({static_cast<uint8_t>(0x70 + c.nibble), 0x05});
    const uint16_t flags = packFlags(m.cpu);
    m.run();
    EXPECT_EQ(m.text(), std::string(c.name) + "\t0107");
    EXPECT_EQ(m.cpu.ip, c.taken ? 0x0107 : 0x0102);
    EXPECT_EQ(packFlags(m.cpu), flags);
}

TEST_P(ConditionalJumps, NearFormOnTheExtendedPageJumpsExactlyWhenItsConditionHolds) {
    const ConditionCase& c = GetParam();
    TestMachine m;
    setFlags(m.cpu, c.flags);
    m.code({0x0F, static_cast<uint8_t>(0x80 + c.nibble), 0x00, 0x10});
    const uint16_t flags = packFlags(m.cpu);
    m.run();
    EXPECT_EQ(m.text(), std::string(c.name) + "\t1104");
    EXPECT_EQ(m.cpu.ip, c.taken ? 0x1104 : 0x0104);
    EXPECT_EQ(packFlags(m.cpu), flags);
}

// Each condition is taken on the flags it tests and not taken when only the others are set, so a
// handler that looks at the wrong flag fails. PF counts as loaded (JP/JNP).
INSTANTIATE_TEST_SUITE_P(
    AllSixteen, ConditionalJumps,
    ::testing::Values(
        ConditionCase{"jo", 0x0, O, true}, ConditionCase{"jo", 0x0, ALL & ~O, false},
        ConditionCase{"jno", 0x1, ALL & ~O, true}, ConditionCase{"jno", 0x1, O, false},
        ConditionCase{"jc", 0x2, C, true}, ConditionCase{"jc", 0x2, ALL & ~C, false},
        ConditionCase{"jnc", 0x3, ALL & ~C, true}, ConditionCase{"jnc", 0x3, C, false},
        ConditionCase{"jz", 0x4, Z, true}, ConditionCase{"jz", 0x4, ALL & ~Z, false},
        ConditionCase{"jnz", 0x5, ALL & ~Z, true}, ConditionCase{"jnz", 0x5, Z, false},
        ConditionCase{"jbe", 0x6, C, true}, ConditionCase{"jbe", 0x6, Z, true},
        ConditionCase{"jbe", 0x6, O | S | P, false},
        ConditionCase{"ja", 0x7, O | S | P, true}, ConditionCase{"ja", 0x7, C, false},
        ConditionCase{"ja", 0x7, Z, false},
        ConditionCase{"js", 0x8, S, true}, ConditionCase{"js", 0x8, ALL & ~S, false},
        ConditionCase{"jns", 0x9, ALL & ~S, true}, ConditionCase{"jns", 0x9, S, false},
        ConditionCase{"jp", 0xA, P, true}, ConditionCase{"jp", 0xA, ALL & ~P, false},
        ConditionCase{"jnp", 0xB, ALL & ~P, true}, ConditionCase{"jnp", 0xB, P, false},
        ConditionCase{"jl", 0xC, S, true}, ConditionCase{"jl", 0xC, O, true},
        ConditionCase{"jl", 0xC, O | S, false}, ConditionCase{"jl", 0xC, C | Z | P, false},
        ConditionCase{"jge", 0xD, O | S, true}, ConditionCase{"jge", 0xD, C | Z | P, true},
        ConditionCase{"jge", 0xD, S, false}, ConditionCase{"jge", 0xD, O, false},
        ConditionCase{"jle", 0xE, Z | O | S, true}, ConditionCase{"jle", 0xE, S, true},
        ConditionCase{"jle", 0xE, O, true}, ConditionCase{"jle", 0xE, O | S | C | P, false},
        ConditionCase{"jg", 0xF, C | P, true}, ConditionCase{"jg", 0xF, O | S, true},
        ConditionCase{"jg", 0xF, Z, false}, ConditionCase{"jg", 0xF, S, false},
        ConditionCase{"jg", 0xF, O, false}),
    [](const ::testing::TestParamInfo<ConditionCase>& info) {
        return std::string(info.param.name) + (info.param.taken ? "Taken" : "NotTaken") +
               std::to_string(info.index);
    });

// ---- relative targets

struct TargetCase {
    const char* label;
    uint16_t ip;
    std::vector<uint8_t> bytes;
    const char* text;
    uint16_t ipAfter;
};

class RelativeTargets : public ::testing::TestWithParam<TargetCase> {};

// Targets wrap inside the 64 KiB segment and are printed as the target, never the displacement.
TEST_P(RelativeTargets, WrapInsideTheSegmentAndShowTheTarget) {
    const TargetCase& c = GetParam();
    TestMachine m;
    m.cpu.cs = 0x2000;
    m.cpu.ip = c.ip;
    m.cpu.zfFlag = 1;
    m.cpu.cx = 2;
    place(m, c.bytes);
    m.run();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, c.ipAfter);
    EXPECT_EQ(m.cpu.cs, 0x2000);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelativeTargets,
    ::testing::Values(TargetCase{"JmpShortOntoItself", 0x0100, {0xEB, 0xFE}, "jmp\t0100", 0x0100},
                      TargetCase{"ShortBackwardBelowZero", 0x0000, {0x74, 0xF0}, "jz\tfff2", 0xFFF2},
                      TargetCase{"ShortForwardPastFFFF", 0xFFF0, {0xEB, 0x10}, "jmp\t0002", 0x0002},
                      TargetCase{"BytesStraddleFFFF", 0xFFFF, {0xEB, 0x02}, "jmp\t0003", 0x0003},
                      TargetCase{"NearForwardPastFFFF", 0xFFF0, {0xE9, 0x00, 0x01}, "jmp\t00f3", 0x00F3},
                      TargetCase{"NearBackwardBelowZero", 0x0000, {0xE9, 0x00, 0xF0}, "jmp\tf003", 0xF003},
                      TargetCase{"JccNearBackward", 0x0010, {0x0F, 0x84, 0xF0, 0xFF}, "jz\t0004", 0x0004},
                      TargetCase{"JccNearPastFFFF", 0xFFF0, {0x0F, 0x84, 0x10, 0x00}, "jz\t0004", 0x0004},
                      TargetCase{"LoopBelowZero", 0x0000, {0xE2, 0xF0}, "loop\tfff2", 0xFFF2},
                      TargetCase{"CallBelowZero", 0x0001, {0xE8, 0xF0, 0xFF}, "call\tfff4", 0xFFF4}),
    [](const ::testing::TestParamInfo<TargetCase>& info) { return std::string(info.param.label); });

TEST(ExtendedPage, SecondByteOutsideTheJumpsIsExtAndDoesNothingElse) {
    for (uint8_t second : {0x00, 0x7F, 0x90, 0xFF}) {
        TestMachine m;
        setFlags(m.cpu, ALL);
        m.code({0x0F, second, 0x00, 0x10});
        Registers expected = registersOf(m.cpu);
        expected.ip = 0x0102;
        m.run();
        EXPECT_EQ(m.text(), "ext") << int(second);
        EXPECT_EQ(registersOf(m.cpu), expected) << int(second);
    }
}

// ---- LOOP family and JCXZ

struct LoopCase {
    const char* label;
    uint8_t opcode;
    uint8_t displacement;
    uint16_t cx;
    uint8_t zf;
    uint8_t cancel;
    const char* text;
    uint16_t cxAfter;
    uint16_t ipAfter;
};

class LoopFamily : public ::testing::TestWithParam<LoopCase> {};

TEST_P(LoopFamily, CountsAndJumps) {
    const LoopCase& c = GetParam();
    TestMachine m;
    m.cpu.cx = c.cx;
    m.cpu.zfFlag = c.zf;
    m.cpu.waitLoopCancel = c.cancel;
    m.code({c.opcode, c.displacement});
    m.run();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.cx, c.cxAfter);
    EXPECT_EQ(m.cpu.ip, c.ipAfter);
    EXPECT_EQ(m.cpu.zfFlag, c.zf);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoopFamily,
    ::testing::Values(
        LoopCase{"LoopLastRoundFallsThrough", 0xE2, 0x05, 1, 0, 0, "loop\t0107", 0, 0x0102},
        LoopCase{"LoopJumps", 0xE2, 0x05, 2, 0, 0, "loop\t0107", 1, 0x0107},
        LoopCase{"LoopFromZeroRunsFFFFMore", 0xE2, 0x05, 0, 0, 0, "loop\t0107", 0xFFFF, 0x0107},
        LoopCase{"LoopIgnoresZf", 0xE2, 0x05, 2, 1, 0, "loop\t0107", 1, 0x0107},
        LoopCase{"WaitLoopCancelled", 0xE2, 0xFE, 0x1234, 0, 1, "loop\t0100", 0, 0x0102},
        LoopCase{"WaitLoopWithoutCancel", 0xE2, 0xFE, 0x1234, 0, 0, "loop\t0100", 0x1233, 0x0100},
        LoopCase{"CancelOnlyForFE", 0xE2, 0xFD, 0x1234, 0, 1, "loop\t00ff", 0x1233, 0x00FF},
        LoopCase{"CancelledLastRound", 0xE2, 0xFE, 1, 0, 1, "loop\t0100", 0, 0x0102},
        LoopCase{"LoopzNotCancelled", 0xE1, 0xFE, 0x1234, 1, 1, "loopz\t0100", 0x1233, 0x0100},
        LoopCase{"LoopnzNotCancelled", 0xE0, 0xFE, 5, 0, 1, "loopnz\t0100", 4, 0x0100},
        LoopCase{"LoopzJumpsOnZf", 0xE1, 0x05, 5, 1, 0, "loopz\t0107", 4, 0x0107},
        LoopCase{"LoopzStopsOnNz", 0xE1, 0x05, 5, 0, 0, "loopz\t0107", 4, 0x0102},
        LoopCase{"LoopzStopsAtZero", 0xE1, 0x05, 1, 1, 0, "loopz\t0107", 0, 0x0102},
        LoopCase{"LoopnzJumpsOnNz", 0xE0, 0x05, 5, 0, 0, "loopnz\t0107", 4, 0x0107},
        LoopCase{"LoopnzStopsOnZf", 0xE0, 0x05, 5, 1, 0, "loopnz\t0107", 4, 0x0102},
        LoopCase{"LoopnzStopsAtZero", 0xE0, 0x05, 1, 0, 0, "loopnz\t0107", 0, 0x0102},
        LoopCase{"LoopnzFromZero", 0xE0, 0x05, 0, 0, 0, "loopnz\t0107", 0xFFFF, 0x0107},
        LoopCase{"JcxzJumpsOnZero", 0xE3, 0x05, 0, 0, 0, "jcxz\t0107", 0, 0x0107},
        LoopCase{"JcxzFallsThrough", 0xE3, 0x05, 1, 1, 0, "jcxz\t0107", 1, 0x0102},
        LoopCase{"JcxzNotCancelled", 0xE3, 0xFE, 0, 0, 1, "jcxz\t0100", 0, 0x0100}),
    [](const ::testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.label); });

// ---- calls, returns and far jumps

class Transfers : public ::testing::Test {
protected:
    TestMachine m;
    uint16_t stackWord(uint16_t offset) const { return m.peekWord(linearOf(m.cpu.ss, offset)); }
};

TEST_F(Transfers, NearCallStoresTheReturnAtSpAndRetTakesItBack) {
    m.cpu.ss = 0x3000;
    m.code({0xE8, 0x10, 0x00});  // call 0113
    m.poke(0x0113, {0xC3});      // ret
    m.run();
    EXPECT_EQ(m.text(), "call\t0113");
    EXPECT_EQ(m.cpu.ip, 0x0113);
    EXPECT_EQ(m.cpu.sp, 0xFFF6);
    EXPECT_EQ(m.peekWord(0x3FFF8), 0x0103);
    m.run();
    EXPECT_EQ(m.text(), "ret");
    EXPECT_EQ(m.cpu.ip, 0x0103);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
}

TEST_F(Transfers, NearCallAndRetWrapSpAtZero) {
    m.cpu.sp = 0x0000;
    m.code({0xE8, 0x10, 0x00});
    m.poke(0x0113, {0xC3});
    m.run();
    EXPECT_EQ(stackWord(0x0000), 0x0103);
    EXPECT_EQ(m.cpu.sp, 0xFFFE);
    m.run();
    EXPECT_EQ(m.cpu.ip, 0x0103);
    EXPECT_EQ(m.cpu.sp, 0x0000);
}

TEST_F(Transfers, FarCallStoresCsAboveTheReturnAndRetfWithCountReleasesArguments) {
    m.cpu.cs = 0x1000;
    m.cpu.ss = 0x3000;
    m.code({0x9A, 0x10, 0x00, 0x00, 0x20});            // call 2000:0010
    m.poke(linearOf(0x2000, 0x0010), {0xCA, 0x04, 0x00});  // retf 0004
    m.run();
    EXPECT_EQ(m.text(), "call\t2000:10");
    EXPECT_EQ(m.cpu.cs, 0x2000);
    EXPECT_EQ(m.cpu.ip, 0x0010);
    EXPECT_EQ(stackWord(0xFFF8), 0x1000);
    EXPECT_EQ(stackWord(0xFFF6), 0x0105);
    EXPECT_EQ(m.cpu.sp, 0xFFF4);
    m.run();
    EXPECT_EQ(m.text(), "retf\t0004");
    EXPECT_EQ(m.cpu.cs, 0x1000);
    EXPECT_EQ(m.cpu.ip, 0x0105);
    EXPECT_EQ(m.cpu.sp, 0xFFFC);
}

TEST_F(Transfers, RetfPopsIpThenCs) {
    m.cpu.sp = 0xFFF4;
    m.poke(0xFFF6, {0x21, 0x43});
    m.poke(0xFFF8, {0x68, 0x24});
    m.code({0xCB});
    m.run();
    EXPECT_EQ(m.cpu.ip, 0x4321);
    EXPECT_EQ(m.cpu.cs, 0x2468);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
}

TEST_F(Transfers, RetWithCountAddsItAfterThePopModulo64K) {
    m.cpu.sp = 0xFFF6;
    m.poke(0xFFF8, {0x34, 0x12});
    m.code({0xC2, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.text(), "ret\t0010");
    EXPECT_EQ(m.cpu.ip, 0x1234);
    EXPECT_EQ(m.cpu.sp, 0x0008);
}

TEST_F(Transfers, FarJumpLoadsCsAndIpWithoutTouchingTheStack) {
    m.code({0xEA, 0x10, 0x00, 0x00, 0x20});
    m.run();
    EXPECT_EQ(m.text(), "jmp\t2000:0010");
    EXPECT_EQ(m.cpu.cs, 0x2000);
    EXPECT_EQ(m.cpu.ip, 0x0010);
    EXPECT_EQ(m.cpu.sp, 0xFFF8);
}

TEST_F(Transfers, HltStaysOnItself) {
    m.cpu.ip = 0x0200;
    m.code({0xF4});
    for (int i = 0; i < 2; ++i) {
        m.run();
        EXPECT_EQ(m.text(), "hlt");
        EXPECT_EQ(m.cpu.ip, 0x0200);
    }
}

// ---- the FF group

struct IndirectCase {
    const char* label;
    std::vector<uint8_t> bytes;
    uint16_t ip;
    uint16_t cs;
    int pushes;  // 0 for a jump, 1 for a near call (return IP), 2 for a far call (CS, then IP)
};

class IndirectTransfers : public ::testing::TestWithParam<IndirectCase> {};

// Memory operands read DS:BX (or ES:BX, DS:BX+4); register operands take the register as the
// offset and, for far forms, the segment word at linear address register + 2.
TEST_P(IndirectTransfers, LoadTheTargetAndBuildTheFrame) {
    const IndirectCase& c = GetParam();
    TestMachine m;
    m.cpu.textWanted = 0;  // execution must not depend on the formatted texts
    m.cpu.cs = 0x1000;
    m.cpu.ds = 0x0400;
    m.cpu.es = 0x0500;
    m.cpu.bx = 0x0200;
    m.poke(0x4200, {0x00, 0x30, 0x78, 0x56});  // DS:0200 -> 5678:3000
    m.poke(0x4204, {0x11, 0x11, 0x22, 0x22});  // DS:0204 -> 2222:1111
    m.poke(0x5200, {0x77, 0x77, 0x88, 0x88});  // ES:0200 -> 8888:7777
    m.poke(0x0202, {0xBC, 0x9A});              // linear BX + 2
    place(m, c.bytes);
    const uint16_t returnIp = static_cast<uint16_t>(0x0100 + c.bytes.size());
    m.run();
    EXPECT_EQ(m.cpu.ip, c.ip);
    EXPECT_EQ(m.cpu.cs, c.cs);
    EXPECT_EQ(m.cpu.sp, 0xFFF8 - 2 * c.pushes);
    if (c.pushes == 1) {
        EXPECT_EQ(m.peekWord(0xFFF8), returnIp);
    } else if (c.pushes == 2) {
        EXPECT_EQ(m.peekWord(0xFFF8), 0x1000);
        EXPECT_EQ(m.peekWord(0xFFF6), returnIp);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndirectTransfers,
    ::testing::Values(IndirectCase{"CallNearMemory", {0xFF, 0x17}, 0x3000, 0x1000, 1},
                      IndirectCase{"CallNearRegister", {0xFF, 0xD3}, 0x0200, 0x1000, 1},
                      IndirectCase{"CallFarMemory", {0xFF, 0x1F}, 0x3000, 0x5678, 2},
                      IndirectCase{"CallFarRegister", {0xFF, 0xDB}, 0x0200, 0x9ABC, 2},
                      IndirectCase{"CallFarDisplacement", {0xFF, 0x5F, 0x04}, 0x1111, 0x2222, 2},
                      IndirectCase{"CallFarOverride", {0x26, 0xFF, 0x1F}, 0x7777, 0x8888, 2},
                      IndirectCase{"JmpNearMemory", {0xFF, 0x27}, 0x3000, 0x1000, 0},
                      IndirectCase{"JmpNearRegister", {0xFF, 0xE3}, 0x0200, 0x1000, 0},
                      IndirectCase{"JmpFarMemory", {0xFF, 0x2F}, 0x3000, 0x5678, 0},
                      IndirectCase{"JmpFarRegister", {0xFF, 0xEB}, 0x0200, 0x9ABC, 0},
                      IndirectCase{"JmpFarDisplacement", {0xFF, 0x6F, 0x04}, 0x1111, 0x2222, 0}),
    [](const ::testing::TestParamInfo<IndirectCase>& info) { return std::string(info.param.label); });

TEST_F(Transfers, IndirectCallNotesItsMemoryOperand) {
    m.cpu.bx = 0x0200;
    m.poke(0x0200, {0x44, 0x44});
    m.code({0xFF, 0x17});
    m.run();
    EXPECT_EQ(m.text(), "call\t[bx]");
    EXPECT_EQ(m.trace(), "(00200:4444)");
}

// The offset is the operand as decoded; the segment word is read after both pushes, so a pointer
// that overlaps the new stack slots gets what was pushed there.
TEST_F(Transfers, IndirectFarCallReadsTheSegmentAfterThePushes) {
    m.cpu.bx = 0xFFF4;
    m.poke(0xFFF4, {0x00, 0x30, 0x77, 0x77});  // segment half lies in the return-IP slot
    m.code({0xFF, 0x1F});
    m.run();
    EXPECT_EQ(m.cpu.ip, 0x3000);
    EXPECT_EQ(m.cpu.cs, 0x0102);
}

TEST(GroupFF, MemberSevenDoesNothingButTakeItsBytes) {
    for (uint8_t modrm : {0x3F, 0xFB}) {
        TestMachine fresh;
        fresh.cpu.bx = 0x0200;
        fresh.code({0xFF, modrm});
        Registers expected = registersOf(fresh.cpu);
        expected.ip = 0x0102;
        const std::vector<uint8_t> memory = memoryOf(fresh.cpu);
        fresh.run();
        EXPECT_EQ(registersOf(fresh.cpu), expected) << int(modrm);
        EXPECT_TRUE(memoryOf(fresh.cpu) == memory) << int(modrm);
    }
}

// ---- every text format, decode-only

struct TextCase {
    std::vector<uint8_t> bytes;
    const char* text;
    uint16_t length;
};

class DecodeOnly : public ::testing::TestWithParam<TextCase> {};

// A state in which every transfer below would act: conditions true, CX counting, a return address
// on the stack, pointers behind BX. Decoding must still change nothing but IP.
TEST_P(DecodeOnly, ShowsTheTextAndMovesOnlyIp) {
    const TextCase& c = GetParam();
    TestMachine m;
    setFlags(m.cpu, ALL);
    m.cpu.cx = 5;
    m.cpu.bx = 0x0200;
    m.cpu.bp = 0x0300;
    m.cpu.sp = 0xFFF4;
    m.cpu.waitLoopCancel = 1;
    m.poke(0xFFF6, {0x21, 0x43, 0x68, 0x24});
    m.poke(0x0200, {0x44, 0x44, 0x55, 0x55});
    place(m, c.bytes);
    Registers expected = registersOf(m.cpu);
    expected.ip = static_cast<uint16_t>(0x0100 + c.length);
    const std::vector<uint8_t> memory = memoryOf(m.cpu);
    m.decode();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(registersOf(m.cpu), expected);
    EXPECT_TRUE(memoryOf(m.cpu) == memory);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeOnly,
    ::testing::Values(
        TextCase{{0x70, 0x05}, "jo\t0107", 2}, TextCase{{0x7F, 0xFB}, "jg\t00fd", 2},
        TextCase{{0x0F, 0x84, 0x00, 0x10}, "jz\t1104", 4},
        TextCase{{0x0F, 0x8F, 0xFC, 0xFF}, "jg\t0100", 4},
        TextCase{{0xE0, 0x05}, "loopnz\t0107", 2}, TextCase{{0xE1, 0x05}, "loopz\t0107", 2},
        TextCase{{0xE2, 0xFE}, "loop\t0100", 2}, TextCase{{0xE3, 0x05}, "jcxz\t0107", 2},
        TextCase{{0xE8, 0x10, 0x00}, "call\t0113", 3}, TextCase{{0xE9, 0x10, 0x00}, "jmp\t0113", 3},
        TextCase{{0xEB, 0x10}, "jmp\t0112", 2},
        TextCase{{0xEA, 0x10, 0x00, 0x00, 0x20}, "jmp\t2000:0010", 5},
        TextCase{{0xEA, 0x05, 0x00, 0x00, 0x00}, "jmp\t0000:0005", 5},
        TextCase{{0x9A, 0x34, 0x12, 0x78, 0x56}, "call\t5678:1234", 5},
        TextCase{{0x9A, 0x00, 0x01, 0x00, 0x03}, "call\t300:100", 5},
        TextCase{{0x9A, 0x05, 0x00, 0x00, 0x00}, "call\t00:05", 5},
        TextCase{{0xC2, 0x04, 0x00}, "ret\t0004", 3}, TextCase{{0xC3}, "ret", 1},
        TextCase{{0xCA, 0x04, 0x00}, "retf\t0004", 3}, TextCase{{0xCB}, "retf", 1},
        TextCase{{0xF4}, "hlt", 1},
        TextCase{{0xFF, 0x07}, "inc\tword ptr [bx]", 2}, TextCase{{0xFF, 0x0F}, "dec\tword ptr [bx]", 2},
        TextCase{{0xFF, 0x17}, "call\t[bx]", 2}, TextCase{{0xFF, 0x1F}, "call\tfar [bx]", 2},
        TextCase{{0xFF, 0x27}, "jmp\t[bx]", 2}, TextCase{{0xFF, 0x2F}, "jmp\tfar [bx]", 2},
        TextCase{{0xFF, 0x37}, "push\t[bx]", 2}, TextCase{{0xFF, 0x3F}, "???\tword ptr [bx]", 2},
        TextCase{{0xFF, 0xC0}, "inc\tax", 2}, TextCase{{0xFF, 0xC8}, "dec\tax", 2},
        TextCase{{0xFF, 0xD3}, "call\tbx", 2}, TextCase{{0xFF, 0xDB}, "call\tfar bx", 2},
        TextCase{{0xFF, 0xE3}, "jmp\tbx", 2}, TextCase{{0xFF, 0xEB}, "jmp\tfar bx", 2},
        TextCase{{0xFF, 0xF3}, "push\tbx", 2}, TextCase{{0xFF, 0xFB}, "???\tbx", 2},
        TextCase{{0xFF, 0x56, 0xFE}, "call\t[bp+fe]", 3},
        TextCase{{0xFF, 0x2E, 0x34, 0x12}, "jmp\tfar [1234]", 4},
        TextCase{{0xFF, 0x9F, 0x00, 0x01}, "call\tfar [bx+0100]", 4},
        TextCase{{0x26, 0xFF, 0x27}, "jmp\tes:[bx]", 3},
        TextCase{{0x2E, 0xFF, 0x3F}, "???\tword ptr cs:[bx]", 3}));

}  // namespace
