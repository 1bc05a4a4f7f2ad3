// Arithmetic and logic instructions, run through step on a machine in the start-up state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/operands.h"
#include "exec/handlers.h"
#include "support/machine.h"

namespace {

constexpr uint16_t CF = 0x001, PF = 0x004, AF = 0x010, ZF = 0x040, SF = 0x080, TF = 0x100, IF = 0x200,
                   DF = 0x400, OF = 0x800;
// Flags no instruction of this group computes; every case also runs with them set.
constexpr uint16_t kBystanders = AF | PF | TF;

constexpr uint16_t kCode = 0x0100;
constexpr uint32_t kData = 0x0200;  // DS = 0 and BX = 0200 in the memory cases

struct Regs {
    uint16_t ax = 0, bx = 0, cx = 0, dx = 0;
    bool operator==(const Regs&) const = default;
};

void PrintTo(const Regs& r, std::ostream* os) {
    *os << std::hex << "ax=" << r.ax << " bx=" << r.bx << " cx=" << r.cx << " dx=" << r.dx;
}

void setRegs(Cpu& cpu, const Regs& r) {
    cpu.ax = r.ax;
    cpu.bx = r.bx;
    cpu.cx = r.cx;
    cpu.dx = r.dx;
}

Regs regsOf(const Cpu& cpu) { return {cpu.ax, cpu.bx, cpu.cx, cpu.dx}; }

void load(TestMachine& m, uint32_t linear, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) writeByteLinear(m.cpu, linear++, b);
}

void loadCode(TestMachine& m, const std::vector<uint8_t>& bytes) {
    m.cpu.ip = kCode;
    load(m, linearOf(m.cpu.cs, kCode), bytes);
}

uint16_t codeEnd(const std::vector<uint8_t>& bytes) { return static_cast<uint16_t>(kCode + bytes.size()); }

// Everything an instruction could change apart from IP.
struct MachineState {
    std::array<uint16_t, 12> registers;
    uint16_t flags;
    uint8_t stopRequested;
    std::vector<uint8_t> memory;
};

MachineState stateOf(const Cpu& cpu) {
    return {{cpu.ax, cpu.bx, cpu.cx, cpu.dx, cpu.bp, cpu.si, cpu.di, cpu.sp, cpu.cs, cpu.ds, cpu.es, cpu.ss},
            packFlags(cpu),
            cpu.stopRequested,
            std::vector<uint8_t>(cpu.memory.get(), cpu.memory.get() + kMemorySize)};
}

void expectSameState(const MachineState& before, const MachineState& after) {
    EXPECT_EQ(before.registers, after.registers);
    EXPECT_EQ(before.flags, after.flags);
    EXPECT_EQ(before.stopRequested, after.stopRequested);
    const auto differ = std::mismatch(before.memory.begin(), before.memory.end(), after.memory.begin());
    EXPECT_TRUE(differ.first == before.memory.end())
        << "memory differs at " << std::hex << (differ.first - before.memory.begin());
}

// ---- register operands: result, flags, text and length per encoding

struct RegCase {
    const char* name;
    std::vector<uint8_t> bytes;
    Regs in;
    uint16_t flagsIn;
    Regs out;
    uint16_t flagsOut;
    const char* text;
};

void PrintTo(const RegCase& c, std::ostream* os) { *os << c.name; }

const RegCase kRegCases[] = {
    // The two-operand families: r/m,reg; reg,r/m; AL,imm8; AX,imm16.
    {"AddRmReg8", {0x00, 0xD8}, {0x0080, 0x0080}, 0, {0x0000, 0x0080}, CF | ZF | OF, "add\tal,bl"},
    {"AddRmReg16", {0x01, 0xD8}, {0x7FFF, 0x0001}, 0, {0x8000, 0x0001}, SF | OF, "add\tax,bx"},
    {"AddRegRm8StoresInReg", {0x02, 0xD8}, {0x12FF, 0x34FF}, 0, {0x12FF, 0x34FE}, CF | SF, "add\tbl,al"},
    {"SubRegRm16StoresInReg", {0x2B, 0xD8}, {0x0001, 0x8000}, 0, {0x0001, 0x7FFF}, OF, "sub\tbx,ax"},
    {"AddAlImm", {0x04, 0xFF}, {0x00FF}, 0, {0x00FE}, CF | SF, "add\tal,ff"},
    {"AddAxImm", {0x05, 0x34, 0x12}, {0x0001}, CF, {0x1235}, 0, "add\tax,1234"},
    {"AdcAlImmCarryIn", {0x14, 0x00}, {0x127F}, CF, {0x1280}, SF | OF, "adc\tal,00"},
    {"AdcRmReg16CarryIn", {0x11, 0xD8}, {0xFFFF, 0x0000}, CF, {0x0000, 0x0000}, CF | ZF, "adc\tax,bx"},
    {"SbbRmReg8BorrowIn", {0x18, 0xD8}, {0x0000, 0x00FF}, CF, {0x0000, 0x00FF}, CF | ZF, "sbb\tal,bl"},
    {"SbbAxImmBorrowIn", {0x1D, 0x00, 0x00}, {0x0000}, CF, {0xFFFF}, CF | SF, "sbb\tax,0000"},
    {"SubAlImmBorrow", {0x2C, 0x01}, {0xAB00}, 0, {0xABFF}, CF | SF, "sub\tal,01"},
    {"SubAxImmOverflow", {0x2D, 0x01, 0x00}, {0x8000}, 0, {0x7FFF}, OF, "sub\tax,0001"},
    {"CmpAxImmStoresNothing", {0x3D, 0x00, 0x80}, {0x0000}, 0, {0x0000}, CF | SF | OF, "cmp\tax,8000"},
    {"CmpRmReg8StoresNothing", {0x38, 0xD8}, {0x0005, 0x0005}, CF, {0x0005, 0x0005}, ZF, "cmp\tal,bl"},
    {"CmpRegRm16StoresNothing", {0x3B, 0xD8}, {0x0002, 0x0001}, 0, {0x0002, 0x0001}, CF | SF, "cmp\tbx,ax"},
    {"CmpAlImmStoresNothing", {0x3C, 0x05}, {0x0003}, 0, {0x0003}, CF | SF, "cmp\tal,05"},
    {"OrAlImmClearsCarryAndOverflow", {0x0C, 0x80}, {0x5501}, CF | OF, {0x5581}, SF, "or\tal,80"},
    {"OrRegRm8", {0x0A, 0xD8}, {0x0000, 0x0000}, CF | OF | SF, {0x0000, 0x0000}, ZF, "or\tbl,al"},
    {"AndRmReg16", {0x21, 0xD8}, {0xF0F0, 0x0F0F}, CF | OF, {0x0000, 0x0F0F}, ZF, "and\tax,bx"},
    {"AndAlImmKeepsAh", {0x24, 0x0F}, {0x12F3}, 0, {0x1203}, 0, "and\tal,0f"},
    {"AndAxImm", {0x25, 0x00, 0x80}, {0xFFFF}, 0, {0x8000}, SF, "and\tax,8000"},
    {"XorAxWithItself", {0x31, 0xC0}, {0x1234}, CF | OF, {0x0000}, ZF, "xor\tax,ax"},
    {"XorRegRm8", {0x32, 0xD8}, {0x00FF, 0x000F}, 0, {0x00FF, 0x00F0}, SF, "xor\tbl,al"},
    {"XorAxImm", {0x35, 0xFF, 0xFF}, {0x0F0F}, 0, {0xF0F0}, SF, "xor\tax,ffff"},
    // The immediate groups; 82 is 80 again; 83 widens its byte for the operation and the flags.
    {"Group80Add", {0x80, 0xC3, 0x01}, {0, 0x12FF}, 0, {0, 0x1200}, CF | ZF, "add\tbl,01"},
    {"Group80AdcCarryIn", {0x80, 0xD0, 0x00}, {0x00FF}, CF, {0x0000}, CF | ZF, "adc\tal,00"},
    {"Group80CmpStoresNothing", {0x80, 0xFB, 0x05}, {0, 0x0003}, 0, {0, 0x0003}, CF | SF, "cmp\tbl,05"},
    {"Group82Sub", {0x82, 0xEB, 0x01}, {0, 0x0000}, 0, {0, 0x00FF}, CF | SF, "sub\tbl,01"},
    {"Group81AddFfff", {0x81, 0xC0, 0xFF, 0xFF}, {0x0001}, 0, {0x0000}, CF | ZF, "add\tax,ffff"},
    {"Group81Sub", {0x81, 0xEB, 0x00, 0x80}, {0, 0x0000}, 0, {0, 0x8000}, CF | SF | OF, "sub\tbx,8000"},
    {"Group81Xor", {0x81, 0xF1, 0xFF, 0x00}, {0, 0, 0x1234}, 0, {0, 0, 0x12CB}, 0, "xor\tcx,00ff"},
    {"Group83AddsMinusOne", {0x83, 0xC0, 0xFF}, {0x0001}, 0, {0x0000}, CF | ZF, "add\tax,ff"},
    {"Group83FlagsSeeWidenedOperand", {0x83, 0xC0, 0xFF}, {0x8000}, 0, {0x7FFF}, CF | OF, "add\tax,ff"},
    {"Group83PositiveByteNotWidened", {0x83, 0xC0, 0x7F}, {0x0001}, 0, {0x0080}, 0, "add\tax,7f"},
    {"Group83CmpStoresNothing", {0x83, 0xFB, 0xFF}, {0, 0xFFFF}, 0, {0, 0xFFFF}, ZF, "cmp\tbx,ff"},
    {"Group83Or", {0x83, 0xCB, 0x80}, {0, 0x0001}, 0, {0, 0xFF81}, SF, "or\tbx,80"},
    {"Group83SbbBorrowIn", {0x83, 0xDA, 0x01}, {0, 0, 0, 0x0005}, CF, {0, 0, 0, 0x0003}, 0, "sbb\tdx,01"},
    // INC and DEC keep the carry.
    {"IncAxOverflowKeepsCarry", {0x40}, {0x7FFF}, CF, {0x8000}, CF | SF | OF, "inc\tax"},
    {"IncBxWrapsWithoutCarry", {0x43}, {0, 0xFFFF}, 0, {0, 0x0000}, ZF, "inc\tbx"},
    {"IncCx", {0x41}, {0, 0, 0x0010}, ZF, {0, 0, 0x0011}, 0, "inc\tcx"},
    {"DecAxBelowZeroWithoutCarry", {0x48}, {0x0000}, 0, {0xFFFF}, SF, "dec\tax"},
    {"DecBxOverflowKeepsCarry", {0x4B}, {0, 0x8000}, CF, {0, 0x7FFF}, CF | OF, "dec\tbx"},
    {"IncAlKeepsAhAndCarry", {0xFE, 0xC0}, {0x12FF}, 0, {0x1200}, ZF, "inc\tal"},
    {"IncAh", {0xFE, 0xC4}, {0x7F00}, CF, {0x8000}, CF | SF | OF, "inc\tah"},
    {"DecBlKeepsCarry", {0xFE, 0xCB}, {0, 0x0080}, CF, {0, 0x007F}, CF | OF, "dec\tbl"},
    {"GroupFeMember2DoesNothing", {0xFE, 0xD0}, {0x00FF}, CF, {0x00FF}, CF, "???\tal"},
    {"GroupFeMember7DoesNothing", {0xFE, 0xFF}, {0, 0xFF00}, 0, {0, 0xFF00}, 0, "???\tbh"},
    // TEST: logic flags, nothing stored.
    {"TestRmReg8", {0x84, 0xD8}, {0x0080, 0x0080}, CF | OF, {0x0080, 0x0080}, SF, "test\tal,bl"},
    {"TestRmReg16", {0x85, 0xD8}, {0xF0F0, 0x0F0F}, 0, {0xF0F0, 0x0F0F}, ZF, "test\tax,bx"},
    {"TestAlImmIgnoresAh", {0xA8, 0x01}, {0x0102}, 0, {0x0102}, ZF, "test\tal,01"},
    {"TestAxImm", {0xA9, 0x00, 0x80}, {0x8001}, CF, {0x8001}, SF, "test\tax,8000"},
    {"GroupF6Test", {0xF6, 0xC3, 0x0F}, {0, 0x00F0}, CF, {0, 0x00F0}, ZF, "test\tbl,0f"},
    {"GroupF6Member1IsTest", {0xF6, 0xCB, 0x80}, {0, 0x0080}, 0, {0, 0x0080}, SF, "test\tbl,80"},
    {"GroupF7Test", {0xF7, 0xC1, 0x00, 0x80}, {0, 0, 0x8000}, OF, {0, 0, 0x8000}, SF, "test\tcx,8000"},
    // NOT changes no flag; NEG has the flags of 0 - operand.
    {"NotAl", {0xF6, 0xD0}, {0x120F}, CF, {0x12F0}, CF, "not\tal"},
    {"NotBx", {0xF7, 0xD3}, {0, 0x00FF}, ZF | OF, {0, 0xFF00}, ZF | OF, "not\tbx"},
    {"NegAlZero", {0xF6, 0xD8}, {0x1200}, CF, {0x1200}, ZF, "neg\tal"},
    {"NegAlOne", {0xF6, 0xD8}, {0x0001}, 0, {0x00FF}, CF | SF, "neg\tal"},
    {"NegAlLowest", {0xF6, 0xD8}, {0x0080}, 0, {0x0080}, CF | SF | OF, "neg\tal"},
    {"NegAxZero", {0xF7, 0xD8}, {0x0000}, CF | OF, {0x0000}, ZF, "neg\tax"},
    {"NegAxLowest", {0xF7, 0xD8}, {0x8000}, 0, {0x8000}, CF | SF | OF, "neg\tax"},
    {"NegBx", {0xF7, 0xDB}, {0, 0x0005}, 0, {0, 0xFFFB}, CF | SF, "neg\tbx"},
    // Multiplication: unsigned for MUL and IMUL alike; only CF and OF change.
    {"MulBlIntoAh", {0xF6, 0xE3}, {0x0080, 0x0002}, ZF, {0x0100, 0x0002}, ZF | CF | OF, "mul\tbl"},
    {"MulBlFitsInAl", {0xF6, 0xE3}, {0xFF10, 0x0002}, CF | OF | SF, {0x0020, 0x0002}, SF, "mul\tbl"},
    {"ImulBlIsUnsigned", {0xF6, 0xEB}, {0x00FF, 0x0002}, 0, {0x01FE, 0x0002}, CF | OF, "imul\tbl"},
    {"MulBxIgnoresOldDx", {0xF7, 0xE3}, {0x8000, 0x0004, 0, 0x1234}, 0, {0x0000, 0x0004, 0, 0x0002}, CF | OF,
     "mul\tbx"},
    {"MulBxFitsInAx", {0xF7, 0xE3}, {0x0003, 0x0004, 0, 0x1234}, CF | OF, {0x000C, 0x0004, 0, 0x0000}, 0,
     "mul\tbx"},
    {"ImulBxIsUnsigned", {0xF7, 0xEB}, {0xFFFF, 0xFFFF}, 0, {0x0001, 0xFFFF, 0, 0xFFFE}, CF | OF, "imul\tbx"},
    // Division: no flag changes; oversized quotients keep their low bits.
    {"DivBl", {0xF6, 0xF3}, {0x0007, 0x0002}, CF | ZF, {0x0103, 0x0002}, CF | ZF, "div\tbl"},
    {"DivBlTruncatesQuotient", {0xF6, 0xF3}, {0x0400, 0x0002}, 0, {0x0000, 0x0002}, 0, "div\tbl"},
    {"IdivBlIsUnsigned", {0xF6, 0xFB}, {0x00F9, 0x00FE}, 0, {0xF900, 0x00FE}, 0, "idiv\tbl"},
    {"DivBxUsesDxAx", {0xF7, 0xF3}, {0x0000, 0x0002, 0, 0x0001}, 0, {0x8000, 0x0002, 0, 0x0000}, 0, "div\tbx"},
    {"DivBxTruncatesQuotient", {0xF7, 0xF3}, {0x0001, 0x0002, 0, 0x0004}, SF, {0x0000, 0x0002, 0, 0x0001}, SF,
     "div\tbx"},
    {"DivBxWithZeroLowByte", {0xF7, 0xF3}, {0x0000, 0x0100, 0, 0x0001}, 0, {0x0100, 0x0100, 0, 0x0000}, 0,
     "div\tbx"},
    {"IdivBxNegativeDividend", {0xF7, 0xFB}, {0xFFF9, 0x0002, 0, 0xFFFF}, 0, {0xFFFD, 0x0002, 0, 0xFFFF}, 0,
     "idiv\tbx"},
    {"IdivBxNegativeDivisor", {0xF7, 0xFB}, {0x0007, 0xFFFE, 0, 0x0000}, 0, {0xFFFD, 0xFFFE, 0, 0x0001}, 0,
     "idiv\tbx"},
    {"IdivBxLowestByMinusOne", {0xF7, 0xFB}, {0x0000, 0xFFFF, 0, 0x8000}, OF, {0x0000, 0xFFFF, 0, 0x0000}, OF,
     "idiv\tbx"},
    {"IdivBxOversizedKeepsLowWord", {0xF7, 0xFB}, {0x0005, 0x0001, 0, 0x0003}, 0, {0x0005, 0x0001, 0, 0x0000}, 0,
     "idiv\tbx"},
    // Three-operand IMUL: reg = r/m x immediate, signed; CF = OF = the product leaves the signed word.
    {"ImulImm16", {0x69, 0xC3, 0x34, 0x12}, {0x5555, 0x0002}, CF | OF | ZF | SF, {0x2468, 0x0002}, ZF | SF,
     "imul\tax,bx,1234"},
    {"ImulImm16LowestFits", {0x69, 0xC3, 0x00, 0x80}, {0, 0x0001}, CF | OF, {0x8000, 0x0001}, 0,
     "imul\tax,bx,8000"},
    {"ImulImm16Overflows", {0x69, 0xC3, 0x00, 0x80}, {0, 0xFFFF}, 0, {0x8000, 0xFFFF}, CF | OF,
     "imul\tax,bx,8000"},
    {"ImulImm8Widened", {0x6B, 0xC3, 0xFE}, {0, 0x0003}, 0, {0xFFFA, 0x0003}, 0, "imul\tax,bx,fe"},
    {"ImulImm8SignedRm", {0x6B, 0xC3, 0x03}, {0, 0xFFFE}, 0, {0xFFFA, 0xFFFE}, 0, "imul\tax,bx,03"},
    {"ImulImm8PositiveOverflow", {0x6B, 0xC3, 0x02}, {0, 0x4000}, 0, {0x8000, 0x4000}, CF | OF, "imul\tax,bx,02"},
    {"ImulImm8KeepsLowWord", {0x6B, 0xCB, 0x80}, {0, 0x0400, 0x1111}, 0, {0, 0x0400, 0x0000}, CF | OF,
     "imul\tcx,bx,80"},
    // AAM: AH = AL / base, AL = AL mod base; flags unchanged.
    {"Aam", {0xD4, 0x0A}, {0xFF2F}, CF | ZF | SF, {0x0407}, CF | ZF | SF, "aam\t0a"},
    {"AamBase16", {0xD4, 0x10}, {0x00FF}, 0, {0x0F0F}, 0, "aam\t10"},
    // Shown but not executed.
    {"Daa", {0x27}, {0x1299}, CF, {0x1299}, CF, "daa"},
    {"Das", {0x2F}, {0x1299}, 0, {0x1299}, 0, "das"},
    {"Aaa", {0x37}, {0x12FA}, 0, {0x12FA}, 0, "aaa"},
    {"Aas", {0x3F}, {0x1200}, CF, {0x1200}, CF, "aas"},
    {"Aad", {0xD5, 0x0A}, {0x0102}, 0, {0x0102}, 0, "aad\t0a"},
    {"Setalc", {0xD6}, {0x1200}, CF, {0x1200}, CF, "setalc"},
    // The flag instructions.
    {"CmcSets", {0xF5}, {}, ZF, {}, ZF | CF, "cmc"},
    {"CmcClears", {0xF5}, {}, CF, {}, 0, "cmc"},
    {"Clc", {0xF8}, {}, CF | ZF, {}, ZF, "clc"},
    {"Stc", {0xF9}, {}, 0, {}, CF, "stc"},
    {"Cli", {0xFA}, {}, IF | CF, {}, CF, "cli"},
    {"Sti", {0xFB}, {}, 0, {}, IF, "sti"},
    {"Cld", {0xFC}, {}, DF | IF, {}, IF, "cld"},
    {"Std", {0xFD}, {}, 0, {}, DF, "std"},
};

class ArithRegisterForms : public ::testing::TestWithParam<RegCase> {};

TEST_P(ArithRegisterForms, ExecuteWithTheirFlagsAndText) {
    const RegCase& c = GetParam();
    for (uint16_t background : {uint16_t{0}, kBystanders}) {
        SCOPED_TRACE(testing::Message() << "background flags " << std::hex << background);
        TestMachine m;
        loadCode(m, c.bytes);
        setRegs(m.cpu, c.in);
        unpackFlags(m.cpu, c.flagsIn | background);
        m.run();
        EXPECT_EQ(regsOf(m.cpu), c.out);
        EXPECT_EQ(packFlags(m.cpu), c.flagsOut | background) << std::hex << packFlags(m.cpu);
        EXPECT_EQ(m.cpu.ip, codeEnd(c.bytes));
        EXPECT_EQ(m.text(), c.text);
        EXPECT_EQ(m.trace(), "");
        EXPECT_EQ(m.cpu.stopRequested, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ArithRegisterForms, ::testing::ValuesIn(kRegCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- memory operands: the store goes to memory, the note shows the old contents

struct MemCase {
    const char* name;
    std::vector<uint8_t> bytes;
    Regs in;  // BX is set to kData
    std::vector<uint8_t> memoryIn, memoryOut;  // at DS:0200
    uint16_t flagsIn;
    Regs out;
    uint16_t flagsOut;
    const char* text;
    const char* trace;
};

void PrintTo(const MemCase& c, std::ostream* os) { *os << c.name; }

const MemCase kMemCases[] = {
    {"AddToByte", {0x00, 0x07}, {0x0005}, {0x10}, {0x15}, 0, {0x0005}, 0, "add\t[bx],al", "(00200:10)"},
    {"SubFromWordDisp8", {0x29, 0x47, 0x02}, {0x0001}, {0, 0, 0x00, 0x01}, {0, 0, 0xFF, 0x00}, 0, {0x0001}, 0,
     "sub\t[bx+02],ax", "(00202:0100)"},
    {"AddWordToRegister", {0x03, 0x07}, {0x0001}, {0x34, 0x12}, {0x34, 0x12}, 0, {0x1235}, 0, "add\tax,[bx]",
     "(00200:1234)"},
    {"CmpByteDirectStoresNothing", {0x80, 0x3E, 0x02, 0x02, 0x05}, {}, {0, 0, 0x07}, {0, 0, 0x07}, CF, {}, 0,
     "cmp\tbyte ptr [0202],05", "(00202:07)"},
    {"Group80Disp8", {0x80, 0x47, 0x01, 0x05}, {}, {0, 0xFA}, {0, 0xFF}, 0, {}, SF, "add\tbyte ptr [bx+01],05",
     "(00201:fa)"},
    {"Group81Disp16", {0x81, 0x87, 0x02, 0x00, 0x34, 0x12}, {}, {0, 0, 0x01, 0x00}, {0, 0, 0x35, 0x12}, 0, {}, 0,
     "add\tword ptr [bx+0002],1234", "(00202:0001)"},
    {"Group81Direct", {0x81, 0x36, 0x00, 0x02, 0xFF, 0x00}, {}, {0x0F, 0xF0}, {0xF0, 0xF0}, 0, {}, SF,
     "xor\tword ptr [0200],00ff", "(00200:f00f)"},
    {"Group83Disp8", {0x83, 0x6F, 0x02, 0xFF}, {}, {0, 0, 0x05, 0x00}, {0, 0, 0x06, 0x00}, 0, {}, CF,
     "sub\tword ptr [bx+02],ff", "(00202:0005)"},
    {"IncByteKeepsCarry", {0xFE, 0x07}, {}, {0xFF}, {0x00}, CF, {}, CF | ZF, "inc\tbyte ptr [bx]", "(00200:ff)"},
    {"DecByteDisp8", {0xFE, 0x4F, 0x01}, {}, {0, 0x80}, {0, 0x7F}, 0, {}, OF, "dec\tbyte ptr [bx+01]",
     "(00201:80)"},
    {"GroupFeMember7ReadsOnly", {0xFE, 0x3F}, {}, {0x42}, {0x42}, 0, {}, 0, "???\tbyte ptr [bx]", "(00200:42)"},
    {"TestWordStoresNothing", {0x85, 0x07}, {0x0100}, {0xFF, 0x00}, {0xFF, 0x00}, CF, {0x0100}, ZF,
     "test\t[bx],ax", "(00200:00ff)"},
    {"GroupF6TestDisp8", {0xF6, 0x47, 0x01, 0xAA}, {}, {0, 0x80}, {0, 0x80}, 0, {}, SF,
     "test\tbyte ptr [bx+01],aa", "(00201:80)"},
    {"GroupF7TestDisp16", {0xF7, 0x87, 0x02, 0x00, 0x34, 0x12}, {}, {0, 0, 0x00, 0x10}, {0, 0, 0x00, 0x10}, 0, {},
     0, "test\tword ptr [bx+0002],1234", "(00202:1000)"},
    {"NotWord", {0xF7, 0x17}, {}, {0x0F, 0xF0}, {0xF0, 0x0F}, CF, {}, CF, "not\tword ptr [bx]", "(00200:f00f)"},
    {"NegByte", {0xF6, 0x1F}, {}, {0x01}, {0xFF}, 0, {}, CF | SF, "neg\tbyte ptr [bx]", "(00200:01)"},
    {"MulByte", {0xF6, 0x27}, {0x0010}, {0x10}, {0x10}, 0, {0x0100}, CF | OF, "mul\tbyte ptr [bx]", "(00200:10)"},
    {"IdivWord", {0xF7, 0x3F}, {0x0007}, {0xFE, 0xFF}, {0xFE, 0xFF}, 0, {0xFFFD, 0, 0, 0x0001}, 0,
     "idiv\tword ptr [bx]", "(00200:fffe)"},
    {"ImulImm16Disp8", {0x69, 0x47, 0x02, 0x03, 0x00}, {}, {0, 0, 0x10, 0}, {0, 0, 0x10, 0}, 0, {0x0030}, 0,
     "imul\tax,[bx+02],0003", "(00202:0010)"},
    {"ImulImm8Disp8", {0x6B, 0x47, 0x02, 0xFF}, {}, {0, 0, 0x05, 0}, {0, 0, 0x05, 0}, 0, {0xFFFB}, 0,
     "imul\tax,[bx+02],ff", "(00202:0005)"},
};

class ArithMemoryForms : public ::testing::TestWithParam<MemCase> {};

TEST_P(ArithMemoryForms, StoreToMemoryAndNoteTheOldValue) {
    const MemCase& c = GetParam();
    TestMachine m;
    loadCode(m, c.bytes);
    Regs in = c.in, out = c.out;
    in.bx = out.bx = kData;
    setRegs(m.cpu, in);
    load(m, kData, c.memoryIn);
    unpackFlags(m.cpu, c.flagsIn);
    m.run();
    EXPECT_EQ(regsOf(m.cpu), out);
    EXPECT_EQ(packFlags(m.cpu), c.flagsOut) << std::hex << packFlags(m.cpu);
    for (size_t i = 0; i < c.memoryOut.size(); ++i) EXPECT_EQ(m.peek(kData + i), c.memoryOut[i]) << "byte " << i;
    EXPECT_EQ(m.cpu.ip, codeEnd(c.bytes));
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.trace(), c.trace);
}

INSTANTIATE_TEST_SUITE_P(Cases, ArithMemoryForms, ::testing::ValuesIn(kMemCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- exact texts of every format, decoded without executing

struct TextCase {
    std::vector<uint8_t> bytes;
    const char* text;
    const char* trace;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << testing::PrintToString(std::string(c.text)); }

const TextCase kTextCases[] = {
    {{0x00, 0xD8}, "add\tal,bl", ""},
    {{0x09, 0x07}, "or\t[bx],ax", "(00200:2211)"},
    {{0x10, 0x47, 0x03}, "adc\t[bx+03],al", "(00203:44)"},
    {{0x1A, 0x87, 0x01, 0x00}, "sbb\tal,[bx+0001]", "(00201:22)"},
    {{0x23, 0x06, 0x00, 0x02}, "and\tax,[0200]", "(00200:2211)"},
    {{0x2A, 0xE3}, "sub\tah,bl", ""},
    {{0x33, 0xCF}, "xor\tcx,di", ""},
    {{0x39, 0xE5}, "cmp\tbp,sp", ""},
    {{0x04, 0x7F}, "add\tal,7f", ""},
    {{0x0C, 0x01}, "or\tal,01", ""},
    {{0x14, 0x02}, "adc\tal,02", ""},
    {{0x1C, 0x03}, "sbb\tal,03", ""},
    {{0x24, 0x04}, "and\tal,04", ""},
    {{0x2C, 0x05}, "sub\tal,05", ""},
    {{0x34, 0x06}, "xor\tal,06", ""},
    {{0x3C, 0xFF}, "cmp\tal,ff", ""},
    {{0x05, 0x34, 0x12}, "add\tax,1234", ""},
    {{0x0D, 0x01, 0x00}, "or\tax,0001", ""},
    {{0x15, 0x02, 0x00}, "adc\tax,0002", ""},
    {{0x1D, 0x03, 0x00}, "sbb\tax,0003", ""},
    {{0x25, 0x04, 0x00}, "and\tax,0004", ""},
    {{0x2D, 0x05, 0x00}, "sub\tax,0005", ""},
    {{0x35, 0x06, 0x00}, "xor\tax,0006", ""},
    {{0x3D, 0xCD, 0xAB}, "cmp\tax,abcd", ""},
    {{0x80, 0x07, 0x05}, "add\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x0F, 0x05}, "or\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x17, 0x05}, "adc\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x1F, 0x05}, "sbb\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x27, 0x05}, "and\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x2F, 0x05}, "sub\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x37, 0x05}, "xor\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x3F, 0x05}, "cmp\tbyte ptr [bx],05", "(00200:11)"},
    {{0x80, 0x3E, 0x34, 0x12, 0x05}, "cmp\tbyte ptr [1234],05", "(01234:00)"},
    {{0x82, 0xC1, 0x80}, "add\tcl,80", ""},
    {{0x81, 0x77, 0xFE, 0x34, 0x12}, "xor\tword ptr [bx+fe],1234", "(001fe:8877)"},
    {{0x81, 0x06, 0x00, 0x02, 0x34, 0x12}, "add\tword ptr [0200],1234", "(00200:2211)"},
    {{0x81, 0xC4, 0x00, 0x01}, "add\tsp,0100", ""},
    {{0x83, 0xE8, 0xFF}, "sub\tax,ff", ""},
    {{0x83, 0x7F, 0x01, 0x80}, "cmp\tword ptr [bx+01],80", "(00201:3322)"},
    {{0x83, 0x87, 0x00, 0x01, 0xF0}, "add\tword ptr [bx+0100],f0", "(00300:6655)"},
    {{0x83, 0x3E, 0x00, 0x02, 0x05}, "cmp\tword ptr [0200],05", "(00200:2211)"},
    {{0x26, 0x80, 0x07, 0x05}, "add\tbyte ptr es:[bx],05", "(00300:55)"},
    {{0x44}, "inc\tsp", ""},
    {{0x45}, "inc\tbp", ""},
    {{0x4A}, "dec\tdx", ""},
    {{0x4F}, "dec\tdi", ""},
    {{0xFE, 0x07}, "inc\tbyte ptr [bx]", "(00200:11)"},
    {{0xFE, 0x4F, 0x01}, "dec\tbyte ptr [bx+01]", "(00201:22)"},
    {{0xFE, 0xC4}, "inc\tah", ""},
    {{0xFE, 0x17}, "???\tbyte ptr [bx]", "(00200:11)"},
    {{0xFE, 0xE9}, "???\tcl", ""},
    {{0x84, 0x07}, "test\t[bx],al", "(00200:11)"},
    {{0x85, 0xC8}, "test\tax,cx", ""},
    {{0xA8, 0x80}, "test\tal,80", ""},
    {{0xA9, 0x01, 0x00}, "test\tax,0001", ""},
    {{0xF6, 0x07, 0xAA}, "test\tbyte ptr [bx],aa", "(00200:11)"},
    {{0xF6, 0xCC, 0x01}, "test\tah,01", ""},
    {{0xF7, 0x47, 0x02, 0x34, 0x12}, "test\tword ptr [bx+02],1234", "(00202:4433)"},
    {{0xF7, 0xC3, 0xFF, 0x00}, "test\tbx,00ff", ""},
    {{0xF6, 0x17}, "not\tbyte ptr [bx]", "(00200:11)"},
    {{0xF7, 0xD6}, "not\tsi", ""},
    {{0xF6, 0xDC}, "neg\tah", ""},
    {{0xF7, 0x1F}, "neg\tword ptr [bx]", "(00200:2211)"},
    {{0xF6, 0xE3}, "mul\tbl", ""},
    {{0xF7, 0x27}, "mul\tword ptr [bx]", "(00200:2211)"},
    {{0xF6, 0x2F}, "imul\tbyte ptr [bx]", "(00200:11)"},
    {{0xF7, 0xE9}, "imul\tcx", ""},
    {{0xF6, 0x37}, "div\tbyte ptr [bx]", "(00200:11)"},
    {{0xF7, 0xF1}, "div\tcx", ""},
    {{0xF6, 0xF9}, "idiv\tcl", ""},
    {{0xF7, 0x7F, 0x02}, "idiv\tword ptr [bx+02]", "(00202:4433)"},
    {{0x69, 0xD9, 0x34, 0x12}, "imul\tbx,cx,1234", ""},
    {{0x69, 0x87, 0x00, 0x01, 0x02, 0x00}, "imul\tax,[bx+0100],0002", "(00300:6655)"},
    {{0x6B, 0x0F, 0xFE}, "imul\tcx,[bx],fe", "(00200:2211)"},
    {{0x6B, 0x47, 0x01, 0x7F}, "imul\tax,[bx+01],7f", "(00201:3322)"},
    {{0xD4, 0x0A}, "aam\t0a", ""},
    {{0xD5, 0x0A}, "aad\t0a", ""},
    {{0xD6}, "setalc", ""},
    {{0x27}, "daa", ""},
    {{0x2F}, "das", ""},
    {{0x37}, "aaa", ""},
    {{0x3F}, "aas", ""},
    {{0xF5}, "cmc", ""},
    {{0xF8}, "clc", ""},
    {{0xF9}, "stc", ""},
    {{0xFA}, "cli", ""},
    {{0xFB}, "sti", ""},
    {{0xFC}, "cld", ""},
    {{0xFD}, "std", ""},
};

class ArithTexts : public ::testing::TestWithParam<TextCase> {};

// Decoding takes every byte of the instruction, writes its text and note, and changes nothing else.
TEST_P(ArithTexts, DecodeOnlyWritesExactTextAndChangesNothingButIp) {
    const TextCase& c = GetParam();
    TestMachine m;
    loadCode(m, c.bytes);
    setRegs(m.cpu, {0x1234, static_cast<uint16_t>(kData), 0x0000, 0x5678});  // CX = 0: a zero divisor too
    m.cpu.es = 0x0010;
    load(m, kData - 2, {0x77, 0x88, 0x11, 0x22, 0x33, 0x44});
    load(m, kData + 0x100, {0x55, 0x66});
    unpackFlags(m.cpu, CF | ZF | IF);
    const MachineState before = stateOf(m.cpu);
    testing::internal::CaptureStdout();
    m.decode();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m.text(), c.text);
    EXPECT_EQ(m.trace(), c.trace);
    EXPECT_EQ(m.cpu.ip, codeEnd(c.bytes));
    expectSameState(before, stateOf(m.cpu));
}

INSTANTIATE_TEST_SUITE_P(Cases, ArithTexts, ::testing::ValuesIn(kTextCases));

// ---- division by zero: a message, a stop request, nothing else changed

struct DivZeroCase {
    const char* name;
    std::vector<uint8_t> bytes;
    uint16_t bx;
};

void PrintTo(const DivZeroCase& c, std::ostream* os) { *os << c.name; }

const DivZeroCase kDivZeroCases[] = {
    {"DivByte", {0xF6, 0xF3}, 0x0100},  // BL = 0 although BX is not
    {"IdivByte", {0xF6, 0xFB}, 0x0100},
    {"DivWord", {0xF7, 0xF3}, 0x0000},
    {"IdivWord", {0xF7, 0xFB}, 0x0000},
    {"AamZeroBase", {0xD4, 0x00}, 0x0100},
};

class ArithDivisionByZero : public ::testing::TestWithParam<DivZeroCase> {};

TEST_P(ArithDivisionByZero, PrintsMessageRequestsStopAndChangesNothingElse) {
    const DivZeroCase& c = GetParam();
    TestMachine m;
    loadCode(m, c.bytes);
    setRegs(m.cpu, {0x1234, c.bx, 0x9ABC, 0x5678});
    unpackFlags(m.cpu, CF | ZF | SF | OF | AF | PF | IF);
    MachineState expected = stateOf(m.cpu);
    expected.stopRequested = 1;
    testing::internal::CaptureStdout();
    m.run();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "division by zero\n");
    EXPECT_EQ(m.cpu.ip, codeEnd(c.bytes));
    expectSameState(expected, stateOf(m.cpu));
}

INSTANTIATE_TEST_SUITE_P(Cases, ArithDivisionByZero, ::testing::ValuesIn(kDivZeroCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the text-only opcodes also change nothing when executed

TEST(ArithTextOnly, ExecutingChangesNothingButIp) {
    const std::vector<std::vector<uint8_t>> opcodes = {{0x27}, {0x2F}, {0x37}, {0x3F}, {0xD5, 0x0A}, {0xD6}};
    for (const auto& bytes : opcodes) {
        SCOPED_TRACE(testing::Message() << "opcode " << std::hex << int(bytes[0]));
        TestMachine m;
        loadCode(m, bytes);
        setRegs(m.cpu, {0x0F9F, 0x1111, 0x2222, 0x3333});
        unpackFlags(m.cpu, CF | AF | IF);
        const MachineState before = stateOf(m.cpu);
        m.run();
        EXPECT_EQ(m.cpu.ip, codeEnd(bytes));
        expectSameState(before, stateOf(m.cpu));
    }
}

// ---- FF reg 0 and 1, reached from the FF group after it has decoded and formatted the operand

class ArithIncDecRmWord : public ::testing::Test {
protected:
    // Does what the FF group does before it hands over: opcode, operand decode, operand text.
    void runFromGroup(const std::vector<uint8_t>& bytes) {
        loadCode(m, bytes);
        m.cpu.traceText[0] = '\0';
        m.cpu.codeByte = fetchByte(m.cpu);
        decodeRmWord(m.cpu);
        formatOperands16(m.cpu);
        incDecRmWord(m.cpu);
    }
    TestMachine m;
};

TEST_F(ArithIncDecRmWord, IncrementsMemoryWordKeepingCarry) {
    m.cpu.bx = kData;
    load(m, kData, {0xFF, 0xFF});
    unpackFlags(m.cpu, CF | AF);
    runFromGroup({0xFF, 0x07});
    EXPECT_EQ(m.peekWord(kData), 0x0000);
    EXPECT_EQ(packFlags(m.cpu), CF | ZF | AF);
    EXPECT_EQ(m.text(), "inc\tword ptr [bx]");
    EXPECT_EQ(m.trace(), "(00200:ffff)");
    EXPECT_EQ(m.cpu.ip, kCode + 2);
}

TEST_F(ArithIncDecRmWord, DecrementsRegisterAndMemoryKeepingCarry) {
    m.cpu.ax = 0x8000;
    unpackFlags(m.cpu, 0);
    runFromGroup({0xFF, 0xC8});
    EXPECT_EQ(m.cpu.ax, 0x7FFF);
    EXPECT_EQ(packFlags(m.cpu), OF);
    EXPECT_EQ(m.text(), "dec\tax");

    m.cpu.bx = kData;
    load(m, kData, {0, 0, 0x00, 0x00});
    unpackFlags(m.cpu, CF);
    runFromGroup({0xFF, 0x4F, 0x02});
    EXPECT_EQ(m.peekWord(kData + 2), 0xFFFF);
    EXPECT_EQ(packFlags(m.cpu), CF | SF);
    EXPECT_EQ(m.text(), "dec\tword ptr [bx+02]");
}

TEST_F(ArithIncDecRmWord, DecodeOnlyStoresNothing) {
    m.cpu.bx = kData;
    load(m, kData, {0x34, 0x12});
    m.cpu.decodeOnly = 1;
    loadCode(m, {0xFF, 0x07});
    const MachineState before = stateOf(m.cpu);
    runFromGroup({0xFF, 0x07});
    EXPECT_EQ(m.text(), "inc\tword ptr [bx]");
    expectSameState(before, stateOf(m.cpu));
}

// ---- execution without text: the same bytes are taken and the same work done

TEST(ArithWithoutText, ExecutesAndTakesImmediatesWithoutFormatting) {
    TestMachine m;
    m.cpu.textWanted = 0;
    std::strcpy(m.cpu.asmText, "old");
    m.cpu.bx = kData;
    load(m, kData, {0, 0, 0x01, 0x00});
    loadCode(m, {0x81, 0x87, 0x02, 0x00, 0x34, 0x12, 0xF7, 0xC3, 0x00, 0x80});
    m.run();
    EXPECT_EQ(m.peekWord(kData + 2), 0x1235);
    EXPECT_EQ(m.cpu.ip, kCode + 6);
    m.run();  // test bx,8000: the immediate is taken even though no text is written
    EXPECT_EQ(m.cpu.ip, kCode + 10);
    EXPECT_EQ(m.cpu.zfFlag, 1);
    EXPECT_EQ(m.text(), "old");
}

}  // namespace
