// Data movement: MOV forms, XCHG, LEA, LES/LDS, CBW/CWD, SAHF/LAHF, direct-address MOV, XLAT,
// ENTER/LEAVE, and the exact text of every data-movement and stack form.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "support/machine.h"

namespace {

struct MoveMachine : TestMachine {
    void load(const std::vector<uint8_t>& bytes) {
        uint32_t at = linearOf(cpu.cs, cpu.ip);
        for (uint8_t b : bytes) writeByteLinear(cpu, at++, b);
    }
};

// Everything an instruction could change apart from IP.
struct Snapshot {
    explicit Snapshot(const Cpu& cpu)
        : registers{cpu.ax, cpu.bx, cpu.cx, cpu.dx, cpu.sp, cpu.bp, cpu.si,
                    cpu.di, cpu.cs, cpu.ds, cpu.es, cpu.ss},
          flags(packFlags(cpu)),
          memory(cpu.memory.get(), cpu.memory.get() + kMemorySize) {}
    std::array<uint16_t, 12> registers;
    uint16_t flags;
    std::vector<uint8_t> memory;
};

void expectUnchanged(const Snapshot& before, const Cpu& cpu) {
    const Snapshot after(cpu);
    EXPECT_EQ(after.registers, before.registers);
    EXPECT_EQ(after.flags, before.flags);
    EXPECT_TRUE(std::equal(before.memory.begin(), before.memory.end(), after.memory.begin()));
}

// ---- every text format of the data-movement and stack groups, decoded only

struct TextCase {
    std::vector<uint8_t> bytes;
    const char* text;
};

const TextCase kTextCases[] = {
    // stack
    {{0x06}, "push\tes"},
    {{0x07}, "pop\tes"},
    {{0x0E}, "push\tcs"},
    {{0x16}, "push\tss"},
    {{0x17}, "pop\tss"},
    {{0x1E}, "push\tds"},
    {{0x1F}, "pop\tds"},
    {{0x50}, "push\tax"},
    {{0x51}, "push\tcx"},
    {{0x52}, "push\tdx"},
    {{0x53}, "push\tbx"},
    {{0x54}, "push\tsp"},
    {{0x55}, "push\tbp"},
    {{0x56}, "push\tsi"},
    {{0x57}, "push\tdi"},
    {{0x58}, "pop\tax"},
    {{0x59}, "pop\tcx"},
    {{0x5A}, "pop\tdx"},
    {{0x5B}, "pop\tbx"},
    {{0x5C}, "pop\tsp"},
    {{0x5D}, "pop\tbp"},
    {{0x5E}, "pop\tsi"},
    {{0x5F}, "pop\tdi"},
    {{0x60}, "pusha"},
    {{0x61}, "popa"},
    {{0x68, 0x34, 0x12}, "push\t1234"},
    {{0x68, 0x05, 0x00}, "push\t0005"},
    {{0x6A, 0x80}, "push\t80"},
    {{0x6A, 0x05}, "push\t05"},
    {{0x8F, 0x06, 0x00, 0x02}, "pop\t[0200]"},
    {{0x8F, 0x3E, 0x00, 0x02}, "pop\t[0200]"},  // reg field 7 is not examined
    {{0x8F, 0xC3}, "pop\tbx"},
    {{0x26, 0x8F, 0x47, 0x02}, "pop\tes:[bx+02]"},
    {{0x9C}, "pushf"},
    {{0x9D}, "popf"},
    {{0xC8, 0x10, 0x00, 0x02}, "enter\t0010,02"},
    {{0xC8, 0x34, 0x12, 0x00}, "enter\t1234,00"},
    {{0xC9}, "leave"},
    // xchg
    {{0x86, 0xD8}, "xchg\tal,bl"},
    {{0x86, 0x27}, "xchg\t[bx],ah"},
    {{0x87, 0x07}, "xchg\t[bx],ax"},
    {{0x87, 0xCB}, "xchg\tbx,cx"},
    {{0x90}, "nop"},
    {{0x91}, "xchg\tax,cx"},
    {{0x92}, "xchg\tax,dx"},
    {{0x93}, "xchg\tax,bx"},
    {{0x94}, "xchg\tax,sp"},
    {{0x95}, "xchg\tax,bp"},
    {{0x96}, "xchg\tax,si"},
    {{0x97}, "xchg\tax,di"},
    // mov with a ModR/M byte
    {{0x88, 0xC4}, "mov\tah,al"},
    {{0x88, 0x47, 0xFE}, "mov\t[bx+fe],al"},
    {{0x89, 0x5E, 0x02}, "mov\t[bp+02],bx"},
    {{0x89, 0xD8}, "mov\tax,bx"},
    {{0x8A, 0x00}, "mov\tal,[bx+si]"},
    {{0x8B, 0x86, 0xFE, 0xFF}, "mov\tax,[bp+fffe]"},
    {{0x8B, 0x06, 0x34, 0x12}, "mov\tax,[1234]"},
    {{0x26, 0x8B, 0x46, 0x00}, "mov\tax,es:[bp+00]"},
    {{0x8C, 0xC0}, "mov\tax,es"},
    {{0x8C, 0xC8}, "mov\tax,cs"},
    {{0x8C, 0xD0}, "mov\tax,ss"},
    {{0x8C, 0xD8}, "mov\tax,ds"},
    {{0x8C, 0xE0}, "mov\tax,es"},  // reg fields 4-7 alias 0-3
    {{0x8C, 0xFB}, "mov\tbx,ds"},
    {{0x8C, 0x0E, 0x34, 0x12}, "mov\t[1234],cs"},
    {{0x8D, 0x40, 0x10}, "lea\tax,[bx+si+10]"},
    {{0x8D, 0x36, 0x00, 0x02}, "lea\tsi,[0200]"},
    {{0x8E, 0xD8}, "mov\tds,ax"},
    {{0x8E, 0xF8}, "mov\tds,ax"},
    {{0x8E, 0xC8}, "mov\tcs,ax"},
    {{0x8E, 0xE3}, "mov\tes,bx"},
    {{0x8E, 0x16, 0x00, 0x02}, "mov\tss,[0200]"},
    // sign extension and flag transfers
    {{0x98}, "cbw"},
    {{0x99}, "cwd"},
    {{0x9E}, "sahf"},
    {{0x9F}, "lahf"},
    // direct address, with and without an override
    {{0xA0, 0x10, 0x00}, "mov\tal,[0010]"},
    {{0xA1, 0x34, 0x12}, "mov\tax,[1234]"},
    {{0xA2, 0x10, 0x00}, "mov\t[0010],al"},
    {{0xA3, 0xFE, 0xFF}, "mov\t[fffe],ax"},
    {{0x2E, 0xA0, 0x10, 0x00}, "mov\tal,cs:[0010]"},
    {{0x3E, 0xA1, 0x10, 0x00}, "mov\tax,ds:[0010]"},
    {{0x26, 0xA2, 0x10, 0x00}, "mov\tes:[0010],al"},
    {{0x36, 0xA3, 0x10, 0x00}, "mov\tss:[0010],ax"},
    // immediates
    {{0xB0, 0x12}, "mov\tal,12"},
    {{0xB1, 0x00}, "mov\tcl,00"},
    {{0xB2, 0xFF}, "mov\tdl,ff"},
    {{0xB3, 0x01}, "mov\tbl,01"},
    {{0xB4, 0x02}, "mov\tah,02"},
    {{0xB5, 0x03}, "mov\tch,03"},
    {{0xB6, 0x04}, "mov\tdh,04"},
    {{0xB7, 0x05}, "mov\tbh,05"},
    {{0xB8, 0x34, 0x12}, "mov\tax,1234"},
    {{0xB9, 0x00, 0x00}, "mov\tcx,0000"},
    {{0xBA, 0xFF, 0xFF}, "mov\tdx,ffff"},
    {{0xBB, 0x01, 0x00}, "mov\tbx,0001"},
    {{0xBC, 0xF8, 0xFF}, "mov\tsp,fff8"},
    {{0xBD, 0x00, 0x01}, "mov\tbp,0100"},
    {{0xBE, 0xCD, 0xAB}, "mov\tsi,abcd"},
    {{0xBF, 0x10, 0x00}, "mov\tdi,0010"},
    {{0xC6, 0x07, 0x05}, "mov\tbyte ptr [bx],05"},
    {{0xC6, 0x47, 0x05, 0x33}, "mov\tbyte ptr [bx+05],33"},
    {{0xC6, 0x3F, 0x44}, "mov\tbyte ptr [bx],44"},  // reg field 7 is not examined
    {{0xC6, 0xC4, 0x7F}, "mov\tah,7f"},
    {{0x26, 0xC6, 0x06, 0x00, 0x02, 0x01}, "mov\tbyte ptr es:[0200],01"},
    {{0xC7, 0x06, 0x00, 0x02, 0x05, 0x00}, "mov\tword ptr [0200],05"},
    {{0xC7, 0x06, 0x00, 0x02, 0xAB, 0x00}, "mov\tword ptr [0200],ab"},
    {{0xC7, 0x87, 0x34, 0x12, 0x78, 0x56}, "mov\tword ptr [bx+1234],5678"},
    {{0xC7, 0x47, 0x02, 0x00, 0x01}, "mov\tword ptr [bx+02],100"},
    {{0xC7, 0xC3, 0x34, 0x12}, "mov\tbx,1234"},
    {{0xC7, 0xC0, 0x00, 0x00}, "mov\tax,00"},
    // far pointers and table lookup
    {{0xC4, 0x1E, 0x00, 0x02}, "les\tbx,[0200]"},
    {{0xC5, 0x36, 0x00, 0x02}, "lds\tsi,[0200]"},
    {{0xC4, 0xC3}, "les\tax,bx"},
    {{0xD7}, "xlat"},
    {{0x26, 0xD7}, "xlat"},
};

class MoveTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(MoveTextTest, DecodesExactTextAndChangesNothingButIp) {
    const TextCase& c = GetParam();
    MoveMachine m;
    m.load(c.bytes);
    m.cpu.ax = 0x1234;
    m.cpu.bx = 0x0200;
    m.cpu.cx = 0x5678;
    m.cpu.si = 0x0010;
    m.cpu.bp = 0x0100;
    m.cpu.es = 0x3000;
    m.cpu.cfFlag = m.cpu.zfFlag = 1;
    m.poke(0x0200, {0x11, 0x22, 0x33, 0x44});
    const Snapshot before(m.cpu);
    m.decode();
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.cpu.ip, 0x0100 + c.bytes.size());
    expectUnchanged(before, m.cpu);
}

INSTANTIATE_TEST_SUITE_P(Forms, MoveTextTest, ::testing::ValuesIn(kTextCases));

// ---- MOV with a ModR/M byte

class MoveTest : public ::testing::Test {
protected:
    MoveMachine m;
};

TEST_F(MoveTest, MovStoresAndLoadsBytesAndWords) {
    m.cpu.ax = 0xBEEF;
    m.cpu.bx = 0x0500;
    m.load({0x89, 0x07});  // mov [bx],ax
    m.run();
    EXPECT_EQ(m.peekWord(0x0500), 0xBEEF);
    EXPECT_EQ(m.trace(), "(00500:0000)");  // the old contents

    m.load({0x8A, 0x67, 0x01});  // mov ah,[bx+01]
    m.cpu.ax = 0x0000;
    m.run();
    EXPECT_EQ(m.cpu.ax, 0xBE00);

    m.load({0x88, 0xC3});  // mov bl,al
    m.cpu.ax = 0x0077;
    m.run();
    EXPECT_EQ(m.cpu.bx, 0x0577);

    m.load({0x8B, 0xC3});  // mov ax,bx
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x0577);
}

TEST_F(MoveTest, MovImmediateToRegisterTouchesOnlyThatRegister) {
    m.cpu.ax = 0x1122;
    m.load({0xB4, 0xAB});  // mov ah,ab
    m.run();
    EXPECT_EQ(m.cpu.ax, 0xAB22);

    m.load({0xBC, 0x00, 0x10});  // mov sp,1000
    m.run();
    EXPECT_EQ(m.cpu.sp, 0x1000);
    EXPECT_EQ(m.cpu.ip, 0x0105);
}

TEST_F(MoveTest, MovImmediateToMemoryTakesTheImmediateAfterTheDisplacement) {
    m.cpu.bx = 0x0100;
    m.load({0xC6, 0x7F, 0x05, 0x33});  // mov byte ptr [bx+05],33 (reg field 7 ignored)
    m.run();
    EXPECT_EQ(m.peek(0x0105), 0x33);
    EXPECT_EQ(m.cpu.ip, 0x0104);

    m.load({0xC7, 0x87, 0x00, 0x02, 0x78, 0x56});  // mov word ptr [bx+0200],5678
    m.run();
    EXPECT_EQ(m.peekWord(0x0300), 0x5678);
    EXPECT_EQ(m.cpu.ip, 0x010A);

    m.load({0xC7, 0xC1, 0x05, 0x00});  // mov cx,05
    m.run();
    EXPECT_EQ(m.cpu.cx, 0x0005);
}

// ---- XCHG

TEST_F(MoveTest, XchgExchangesBothBytesOfAMemoryWord) {
    m.cpu.ax = 0x1234;
    m.cpu.bx = 0x0200;
    m.poke(0x0200, {0xCD, 0xAB});
    m.load({0x87, 0x07});  // xchg [bx],ax
    m.run();
    EXPECT_EQ(m.cpu.ax, 0xABCD);
    EXPECT_EQ(m.peek(0x0200), 0x34);
    EXPECT_EQ(m.peek(0x0201), 0x12);
}

TEST_F(MoveTest, XchgByteInMemoryWithAHighByteRegister) {
    m.cpu.ax = 0x5500;
    m.cpu.bx = 0x0200;
    m.poke(0x0200, {0x66, 0x77});
    m.load({0x86, 0x27});  // xchg [bx],ah
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x6600);
    EXPECT_EQ(m.peek(0x0200), 0x55);
    EXPECT_EQ(m.peek(0x0201), 0x77);
}

TEST_F(MoveTest, XchgRegisterForms) {
    m.cpu.bx = 0x1111;
    m.cpu.cx = 0x2222;
    m.load({0x87, 0xCB});  // xchg bx,cx
    m.run();
    EXPECT_EQ(m.cpu.bx, 0x2222);
    EXPECT_EQ(m.cpu.cx, 0x1111);

    m.cpu.ax = 0x12AB;
    m.load({0x86, 0xE0});  // xchg al,ah
    m.run();
    EXPECT_EQ(m.cpu.ax, 0xAB12);

    m.load({0x86, 0xC0});  // xchg al,al
    m.run();
    EXPECT_EQ(m.cpu.ax, 0xAB12);
}

TEST_F(MoveTest, XchgWithAxForEveryRegister) {
    for (uint8_t reg = 1; reg < 8; ++reg) {
        MoveMachine x;
        x.cpu.ax = 0xAAAA;
        setReg16(x.cpu, reg, 0x1000 + reg);
        x.load({static_cast<uint8_t>(0x90 + reg)});
        x.run();
        EXPECT_EQ(x.cpu.ax, 0x1000 + reg) << int{reg};
        EXPECT_EQ(getReg16(x.cpu, reg), 0xAAAA) << int{reg};
    }
}

TEST_F(MoveTest, NopChangesNothingButIp) {
    m.load({0x90});
    const Snapshot before(m.cpu);
    m.run();
    EXPECT_EQ(m.cpu.ip, 0x0101);
    expectUnchanged(before, m.cpu);
}

// ---- segment registers

TEST_F(MoveTest, MovToSegmentAliasesRegFieldsFourToSeven) {
    m.cpu.ax = 0x1234;
    m.load({0x8E, 0xE0});  // reg field 4 = es
    m.run();
    EXPECT_EQ(m.cpu.es, 0x1234);

    m.cpu.bx = 0x4321;
    m.load({0x8E, 0xFB});  // reg field 7 = ds
    m.run();
    EXPECT_EQ(m.cpu.ds, 0x4321);
    EXPECT_EQ(m.cpu.es, 0x1234);
    EXPECT_EQ(m.cpu.ss, 0x0000);
}

TEST_F(MoveTest, MovToCsLoadsCsAndTheNextFetchUsesIt) {
    m.cpu.ax = 0x0010;
    m.load({0x8E, 0xC8});  // mov cs,ax
    m.run();
    EXPECT_EQ(m.cpu.cs, 0x0010);
    EXPECT_EQ(m.cpu.ip, 0x0102);
    m.poke(0x0010 * 16 + 0x0102, {0x90});
    m.run();
    EXPECT_EQ(m.text(), "nop");
}

TEST_F(MoveTest, MovSegmentFromMemoryAndToMemory) {
    m.poke(0x0200, {0x00, 0x20});
    m.load({0x8E, 0x16, 0x00, 0x02});  // mov ss,[0200]
    m.run();
    EXPECT_EQ(m.cpu.ss, 0x2000);

    m.cpu.es = 0xE5E5;
    m.load({0x8C, 0x06, 0x10, 0x02});  // mov [0210],es
    m.run();
    EXPECT_EQ(m.peekWord(0x0210), 0xE5E5);

    m.load({0x8C, 0xEA});  // reg field 5 = cs: mov dx,cs
    m.cpu.dx = 0xFFFF;
    m.run();
    EXPECT_EQ(m.cpu.dx, 0x0000);
}

// ---- LEA, LES, LDS

TEST_F(MoveTest, LeaLoadsTheEffectiveOffsetCutTo16Bits) {
    m.cpu.bx = 0x0100;
    m.cpu.si = 0x0020;
    m.load({0x8D, 0x40, 0x10});  // lea ax,[bx+si+10]
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x0130);

    m.cpu.bx = 0x0002;
    m.load({0x8D, 0x8F, 0xFF, 0xFF});  // lea cx,[bx+ffff] = 0x10001
    m.run();
    EXPECT_EQ(m.cpu.cx, 0x0001);

    m.cpu.bx = 0x0000;
    m.load({0x8D, 0x77, 0xFE});  // lea si,[bx-2]
    m.run();
    EXPECT_EQ(m.cpu.si, 0xFFFE);
}

TEST_F(MoveTest, LeaWithARegisterOperandLoadsTheLastOffset) {
    m.cpu.eaOffset = 0x4321;
    m.load({0x8D, 0xC3});  // lea ax,bx
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x4321);
}

TEST_F(MoveTest, LesAndLdsLoadOffsetAndSegment) {
    m.cpu.ds = 0x0010;
    m.poke(0x0300, {0x34, 0x12, 0x78, 0x56});
    m.load({0xC4, 0x1E, 0x00, 0x02});  // les bx,[0200] at 0010:0200 = 00300
    m.run();
    EXPECT_EQ(m.cpu.bx, 0x1234);
    EXPECT_EQ(m.cpu.es, 0x5678);
    EXPECT_EQ(m.trace(), "(00300:1234)");

    m.load({0xC5, 0x36, 0x00, 0x02});  // lds si,[0200]
    m.run();
    EXPECT_EQ(m.cpu.si, 0x1234);
    EXPECT_EQ(m.cpu.ds, 0x5678);
}

TEST_F(MoveTest, LdsWithARegisterOperandUsesItsValueAsOffsetAndAddress) {
    m.cpu.bx = 0x0300;
    m.poke(0x0302, {0xCD, 0xAB});
    m.load({0xC5, 0xC3});  // lds ax,bx
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x0300);
    EXPECT_EQ(m.cpu.ds, 0xABCD);
}

// ---- CBW, CWD, SAHF, LAHF

TEST_F(MoveTest, CbwAndCwdExtendTheSign) {
    struct Case {
        uint8_t opcode;
        uint16_t ax;
        uint16_t axOut;
        uint16_t dxOut;
    };
    const Case cases[] = {
        {0x98, 0x1280, 0xFF80, 0x5555},
        {0x98, 0xAB7F, 0x007F, 0x5555},
        {0x99, 0x8000, 0x8000, 0xFFFF},
        {0x99, 0x7FFF, 0x7FFF, 0x0000},
    };
    for (const Case& c : cases) {
        MoveMachine x;
        x.cpu.ax = c.ax;
        x.cpu.dx = 0x5555;
        x.load({c.opcode});
        x.run();
        EXPECT_EQ(x.cpu.ax, c.axOut) << std::hex << int{c.opcode} << " " << c.ax;
        EXPECT_EQ(x.cpu.dx, c.dxOut) << std::hex << int{c.opcode} << " " << c.ax;
    }
}

TEST_F(MoveTest, SahfLoadsFiveFlagsAndKeepsTheOthers) {
    m.cpu.ofFlag = m.cpu.dfFlag = m.cpu.ifFlag = m.cpu.tfFlag = 1;
    m.cpu.ax = 0xFF00;
    m.load({0x9E});
    m.run();
    EXPECT_EQ(packFlags(m.cpu), 0x0FD5);

    m.cpu.ax = 0x2A00;  // only the unused bits 5, 3, 1 set
    m.load({0x9E});
    m.run();
    EXPECT_EQ(packFlags(m.cpu), 0x0F00);
}

TEST_F(MoveTest, LahfPacksFiveFlagsIntoAh) {
    unpackFlags(m.cpu, 0xFFFF);
    m.cpu.ax = 0x0077;
    m.load({0x9F});
    m.run();
    EXPECT_EQ(m.cpu.ax, 0xD577);

    unpackFlags(m.cpu, 0x0041);  // ZF and CF
    m.load({0x9F});
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x4177);
}

// ---- direct-address MOV (A0-A3)

class DirectAddressTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.cpu.ds = 0x1000;
        m.cpu.coverageOn = 1;
        m.poke(0x10010, {0xAB, 0xCD});
        m.poke(0x00010, {0x11, 0x22});  // cs:0010 with cs = 0
    }
    MoveMachine m;
};

TEST_F(DirectAddressTest, LoadAlUsesDsAndABlankPaddedNote) {
    m.load({0xA0, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.text(), "mov\tal,[0010]");
    EXPECT_EQ(m.trace(), "(10010:ab)");
    EXPECT_EQ(m.cpu.ax, 0x00AB);
    EXPECT_TRUE(m.cpu.DataCoverage.empty());
}

TEST_F(DirectAddressTest, CsOverrideReadsFromCsAndShowsIt) {
    m.load({0x2E, 0xA0, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.text(), "mov\tal,cs:[0010]");
    EXPECT_EQ(m.trace(), "(   10:11)");
    EXPECT_EQ(m.cpu.ax, 0x0011);
    EXPECT_EQ(m.cpu.ip, 0x0104);
}

TEST_F(DirectAddressTest, LoadAxNotesTheWord) {
    m.load({0xA1, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.trace(), "(10010:cdab)");
    EXPECT_EQ(m.cpu.ax, 0xCDAB);
}

TEST_F(DirectAddressTest, StoreAlNotesTheOldByte) {
    m.cpu.ax = 0x3377;
    m.load({0xA2, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.trace(), "(10010:ab)");
    EXPECT_EQ(m.peek(0x10010), 0x77);
    EXPECT_EQ(m.peek(0x10011), 0xCD);
}

TEST_F(DirectAddressTest, StoreAxWritesNoNote) {
    m.cpu.ax = 0x3377;
    m.cpu.es = 0x2000;
    m.load({0x26, 0xA3, 0x10, 0x00});  // mov es:[0010],ax
    m.run();
    EXPECT_EQ(m.text(), "mov\tes:[0010],ax");
    EXPECT_EQ(m.trace(), "");
    EXPECT_EQ(m.peekWord(0x20010), 0x3377);
    EXPECT_EQ(m.peekWord(0x10010), 0xCDAB);
    EXPECT_TRUE(m.cpu.DataCoverage.empty());
}

TEST_F(DirectAddressTest, SsAndDsOverridesPickTheirSegment) {
    m.cpu.ss = 0x3000;
    m.poke(0x30010, {0x99});
    m.load({0x36, 0xA0, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x0099);
    EXPECT_EQ(m.trace(), "(30010:99)");

    m.load({0x3E, 0xA0, 0x10, 0x00});
    m.run();
    EXPECT_EQ(m.text(), "mov\tal,ds:[0010]");
    EXPECT_EQ(m.cpu.ax, 0x00AB);
}

TEST_F(DirectAddressTest, DecodeOnlyStillWritesTheNote) {
    m.load({0xA1, 0x10, 0x00});
    m.decode();
    EXPECT_EQ(m.trace(), "(10010:cdab)");
    EXPECT_EQ(m.cpu.ax, 0x0000);
    EXPECT_TRUE(m.cpu.DataCoverage.empty());
}

TEST_F(DirectAddressTest, WordPastTheTopOfMemoryWrapsEachByte) {
    m.cpu.ds = 0xFFFF;
    m.poke(0xFFFFF, {0x34});
    m.poke(0x00000, {0x12});
    m.load({0xA1, 0x0F, 0x00});
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x1234);
    EXPECT_EQ(m.trace(), "(fffff:1234)");
}

// ---- XLAT

TEST_F(MoveTest, XlatAddsBxAndAlWithoutCuttingTo16Bits) {
    m.cpu.coverageOn = 1;
    m.cpu.bx = 0xFFFF;
    m.cpu.ax = 0x5501;
    m.poke(0x10000, {0x7E});
    m.poke(0x00000, {0x11});  // where a 16-bit wrap would read
    m.load({0xD7});
    m.run();
    EXPECT_EQ(m.cpu.ax, 0x557E);
    EXPECT_EQ(m.trace(), "(10000:7e)");
    EXPECT_TRUE(m.cpu.DataCoverage.empty());
}

TEST_F(MoveTest, XlatHonoursASegmentOverride) {
    m.cpu.es = 0x2000;
    m.cpu.bx = 0x0100;
    m.cpu.ax = 0x0005;
    m.poke(0x20105, {0x42});
    m.load({0x26, 0xD7});
    m.run();
    EXPECT_EQ(m.text(), "xlat");
    EXPECT_EQ(m.cpu.ax, 0x0042);
    EXPECT_EQ(m.trace(), "(20105:42)");
}

TEST_F(MoveTest, XlatDecodeOnlyWritesTheNoteButKeepsAl) {
    m.cpu.bx = 0x0200;
    m.poke(0x0200, {0x9A});
    m.load({0xD7});
    m.decode();
    EXPECT_EQ(m.trace(), "(00200:9a)");
    EXPECT_EQ(m.cpu.ax, 0x0000);
}

// ---- ENTER and LEAVE are shown and skipped

TEST_F(MoveTest, EnterAndLeaveOnlyMoveIp) {
    m.cpu.bp = 0x1234;
    m.load({0xC8, 0x10, 0x00, 0x00, 0xC9});  // enter 0010,00; leave
    const Snapshot before(m.cpu);
    m.run();
    EXPECT_EQ(m.text(), "enter\t0010,00");
    EXPECT_EQ(m.cpu.ip, 0x0104);
    expectUnchanged(before, m.cpu);

    m.run();
    EXPECT_EQ(m.text(), "leave");
    EXPECT_EQ(m.cpu.ip, 0x0105);
    expectUnchanged(before, m.cpu);
}

}  // namespace
