// u (unassemble), through the real binary.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

std::string session(const std::string& commands) {
    const RunResult r = runVelkor({}, commands + "q\n");
    EXPECT_EQ(r.status, 0);
    const std::string exit = ">exit!\n";
    EXPECT_GE(r.out.size(), exit.size());
    EXPECT_EQ(r.out.substr(r.out.size() - exit.size()), exit);
    return r.out.substr(0, r.out.size() - exit.size());
}

// 0100 mov ax,0001 / 0103 inc ax / 0104 call 010a / 0107 jmp 0107 / 0109 nop / 010a inc bx /
// 010b ret / 010c mov al,05 / 010e add al,03 / 0110 push ax / 0111 pop ax / 0112 clc / 0113 stc /
// 0114 cld / 0115 xor ax,ax
const char kProgram[] = "e 100 b8 01 00 40 e8 03 00 eb fe 90 43 c3 b0 05 04 03 50 58 f8 f9 fc 31 c0\n";

// One listing line: the address column, then the code bytes and from column 18 the text, in a
// field of 58 columns.
std::string listed(const std::string& address, const std::string& bytes, const std::string& text) {
    std::string field = bytes;
    field.resize(18, ' ');
    field += text;
    field.resize(58, ' ');
    return address + field + "\n";
}

std::string firstEight(const char* segment) {
    const std::string s = segment;
    return listed(s + ":0100  ", "b80100", "mov\tax,0001") + listed(s + ":0103  ", "40", "inc\tax") +
           listed(s + ":0104  ", "e80300", "call\t010a") + listed(s + ":0107  ", "ebfe", "jmp\t0107") +
           listed(s + ":0109  ", "90", "nop") + listed(s + ":010a  ", "43", "inc\tbx") +
           listed(s + ":010b  ", "c3", "ret") + listed(s + ":010c  ", "b005", "mov\tal,05");
}

TEST(UnassembleCommand, ListsEightInstructionsAndContinues) {
    const std::string nextEight = listed("0000:010e  ", "0403", "add\tal,03") +
                                  listed("0000:0110  ", "50", "push\tax") + listed("0000:0111  ", "58", "pop\tax") +
                                  listed("0000:0112  ", "f8", "clc") + listed("0000:0113  ", "f9", "stc") +
                                  listed("0000:0114  ", "fc", "cld") + listed("0000:0115  ", "31c0", "xor\tax,ax") +
                                  listed("0000:0117  ", "ff08", "dec\tword ptr [bx+si]");
    EXPECT_EQ(session(std::string(kProgram) + "u 100\nu\n"), ">>" + firstEight("0000") + ">" + nextEight);
    // The argument may follow the letter directly.
    EXPECT_EQ(session(std::string(kProgram) + "u100\n"), ">>" + firstEight("0000"));
}

TEST(UnassembleCommand, ListsInCsAndLeavesIpAlone) {
    // CS 000f puts offset 0010 on linear 0100; relative targets are offsets in that segment.
    const std::string out = session(std::string(kProgram) + "r cs f\nu 10\nr\n");
    const std::string listing = listed("000f:0010  ", "b80100", "mov\tax,0001");
    EXPECT_EQ(out.substr(0, 3 + listing.size()), ">>>" + listing);
    EXPECT_NE(out.find(listed("000f:0014  ", "e80300", "call\t001a")), std::string::npos);
    const std::string display =
        registerLines(0, 0, 0, 0, 0xFFF8, 0x100, "NV UP EI PL NZ NA PO NC", 0, 0, 0, 0, 0, 0, 0xF);
    EXPECT_NE(out.find(">" + display + "000f:0100  "), std::string::npos);
}

TEST(UnassembleCommand, StartsAfterTheInstructionTheRegisterDisplayShowed) {
    const std::string out = session(std::string(kProgram) + "r\nu\n");
    const std::string display =
        registerLines(0, 0, 0, 0, 0xFFF8, 0x100) + "0000:0100  b80100            mov\tax,0001\t\n";
    EXPECT_EQ(out.substr(0, 2 + display.size() + 1), ">>" + display + ">");
    EXPECT_EQ(out.substr(2 + display.size() + 1, 70), listed("0000:0103  ", "40", "inc\tax"));
}

TEST(UnassembleCommand, InstructionWrappingPastOffsetFfffShowsNoBytes) {
    // The 00 at ffff and the vector table's 08 at 0000 make one add that ends at offset 0001.
    const std::string out = session("u ffff\n");
    const std::string first = listed("0000:ffff  ", "", "add\t[bx+si],cl");
    EXPECT_EQ(out.substr(0, 1 + first.size()), ">" + first);
    EXPECT_EQ(out.substr(1 + first.size(), 11), "0000:0001  ");
}

TEST(UnassembleCommand, BreakpointsMarkTheAddressAndTheLineEnd) {
    // The mark stands at column 32 of the field and ends the line there.
    const std::string out = session(std::string(kProgram) + "bp 100\nbp 103\nbd 103\nu 100\n");
    const std::string expected = std::string(">>set break point -> 0000:0100\n>set break point -> 0000:0103\n") +
                                 ">set disable -> 00103\n>" +
                                 "0000:0100* b80100            mov\tax,0001             <--bp:e\n"
                                 "0000:0103* 40                inc\tax                  <--bp:d\n" +
                                 listed("0000:0104  ", "e80300", "call\t010a");
    EXPECT_EQ(out.substr(0, expected.size()), expected);
}

TEST(UnassembleCommand, BreakpointLookupUsesTheLinearAddress) {
    // Set at 000f:0010 (linear 0100), the breakpoint marks 0000:0100 as well.
    const std::string out = session(std::string(kProgram) + "r cs f\nbp 10\nr cs 0\nu 100\n");
    EXPECT_NE(out.find("0000:0100* b80100            mov\tax,0001             <--bp:e\n"), std::string::npos);
}

struct LongTextCase {
    const char* name;
    const char* code;      // e line
    const char* withMark;  // the first listing line when a breakpoint is set on it
    const char* without;   // the same line without a breakpoint
};

void PrintTo(const LongTextCase& c, std::ostream* os) { *os << c.name; }

class UnassembleLongText : public ::testing::TestWithParam<LongTextCase> {};

TEST_P(UnassembleLongText, TextCoversTheMarkAndIsCutAtTheFieldEnd) {
    const LongTextCase& c = GetParam();
    std::string out = session(std::string(c.code) + "\nu 100\n");
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), std::string(">>") + c.without);
    out = session(std::string(c.code) + "\nbp 100\nu 100\n");
    const std::string afterBp = out.substr(out.find("0000:0100\n>") + 11);
    EXPECT_EQ(afterBp.substr(0, afterBp.find('\n') + 1), c.withMark);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnassembleLongText,
                         ::testing::Values(
                             // 30 characters: the text ends on the mark's arrow, which it covers.
                             LongTextCase{"CoversTheArrow", "e 100 c7 80 34 12 34 12",
                                          "0000:0100* c78034123412      mov\tword ptr [bx+si+1234],1234e\n",
                                          "0000:0100  c78034123412      mov\tword ptr [bx+si+1234],1234          \n"},
                             // 33 characters: the mark's line break is covered, so the line runs to the field's end.
                             LongTextCase{"CoversTheMarksLineBreak", "e 100 26 c7 80 34 12 34 12",
                                          "0000:0100* 26c78034123412    mov\tword ptr es:[bx+si+1234],1234       \n",
                                          "0000:0100  26c78034123412    mov\tword ptr es:[bx+si+1234],1234       \n"},
                             // Ten rep words and nop make 43 characters: cut at column 58; only nine code bytes show.
                             LongTextCase{"CutAtTheFieldEnd", "e 100 f3 f3 f3 f3 f3 f3 f3 f3 f3 f3 90",
                                          "0000:0100* f3f3f3f3f3f3f3f3f3rep rep rep rep rep rep rep rep rep rep \n",
                                          "0000:0100  f3f3f3f3f3f3f3f3f3rep rep rep rep rep rep rep rep rep rep \n"}));

}  // namespace
