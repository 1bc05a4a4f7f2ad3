// r (show and change registers), through the real binary.
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

TEST(RegisterCommand, AloneShowsTheRegisterDisplay) {
    const std::string display =
        registerLines(0, 0, 0, 0, 0xFFF8, 0x100) + "0000:0100  b80100            mov\tax,0001\t\n";
    // Blanks and tabs after the r change nothing.
    EXPECT_EQ(session("e 100 b8 01 00\nr\nr \t\n"), ">>" + display + ">" + display);
}

TEST(RegisterCommand, EveryNameSetsItsOwnRegister) {
    // Each of the 13 word names gets a different value; a reply that repeats the value reads it back.
    const char* const names[] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di", "ip", "cs", "ds", "es", "ss"};
    std::string commands;
    std::string expected;
    for (int i = 0; i < 13; ++i) {
        commands += std::string("r ") + names[i] + " " + std::to_string(1111 * (i + 1) % 10000) + "\n";
        expected += ">";
    }
    // The display shows each value in its own place.
    const std::string display = registerLines(0x1111, 0x4444, 0x2222, 0x3333, 0x5555, 0x9999, "NV UP EI PL NZ NA PO NC",
                                              0x6666, 0x7777, 0x8888, 0x2221, 0x3332, 0x4443, 0x1110);
    commands += "r\n";
    expected += ">" + display;
    for (int i = 0; i < 13; ++i) {
        const std::string value = std::to_string(1111 * (i + 1) % 10000);
        commands += std::string("r ") + names[i] + "\n" + value + "\n";
        expected += ">" + std::string(4 - value.size(), '0') + value + ":";
    }
    const std::string out = session(commands);
    ASSERT_EQ(out.substr(0, 14 + display.size()), expected.substr(0, 14 + display.size()));
    // The instruction line after the display is not checked here.
    EXPECT_EQ(out.substr(out.find('\n', 14 + display.size()) + 1), expected.substr(14 + display.size()));
}

struct ByteCase {
    const char* name;
    const char* word;      // the register the byte belongs to, preset to 1234
    const char* expected;  // its value after r <name> 1ff
};

void PrintTo(const ByteCase& c, std::ostream* os) { *os << c.name; }

class ByteRegister : public ::testing::TestWithParam<ByteCase> {};

TEST_P(ByteRegister, SetsItsHalfAndLeavesTheOther) {
    const ByteCase& c = GetParam();
    EXPECT_EQ(session(std::string("r ") + c.word + " 1234\nr " + c.name + " 1ff\nr " + c.word + "\n\n"),
              std::string(">>>") + c.expected + ":");
}

INSTANTIATE_TEST_SUITE_P(Names, ByteRegister,
                         ::testing::Values(ByteCase{"al", "ax", "12ff"}, ByteCase{"ah", "ax", "ff34"},
                                           ByteCase{"cl", "cx", "12ff"}, ByteCase{"ch", "cx", "ff34"},
                                           ByteCase{"dl", "dx", "12ff"}, ByteCase{"dh", "dx", "ff34"},
                                           ByteCase{"bl", "bx", "12ff"}, ByteCase{"bh", "bx", "ff34"}));

struct ValueCase {
    const char* command;
    const char* ax;            // AX afterwards
    const char* message = "";  // what the command prints
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.command; }

class RegisterValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RegisterValue, ConvertsTheSecondWord) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(session("r ax 5555\n" + std::string(c.command) + "\nr ax\n\n"),
              std::string(">>") + c.message + ">" + c.ax + ":");
}

INSTANTIATE_TEST_SUITE_P(Cases, RegisterValue,
                         ::testing::Values(ValueCase{"r ax 1234", "1234"}, ValueCase{"r ax 12345", "2345"},
                                           ValueCase{"r ax -1", "ffff"}, ValueCase{"r ax +a", "000a"},
                                           ValueCase{"r ax 0x1f", "001f"}, ValueCase{"r ax 0X1F", "001f"},
                                           ValueCase{"r ax 12zz", "0012"}, ValueCase{"r ax zz", "0000"},
                                           ValueCase{"r ax bx", "000b"},     // a register name is no value
                                           ValueCase{"r ax 7 8 9", "0007"},  // words after the value are ignored
                                           ValueCase{"rax 6", "0006"},       // the name may follow the letter directly
                                           ValueCase{"r\tax\t\t9", "0009"},  // tabs separate words too
                                           ValueCase{"r al 1234", "5534"},   // AH is kept
                                           ValueCase{"r zz 1", "5555", "?\n"}, ValueCase{"r AX 1", "5555", "?\n"},
                                           ValueCase{"r axe 1", "5555", "?\n"}));

TEST(RegisterCommand, ASingleUnknownNameReadsNoReply) {
    // The line after it is a command again.
    EXPECT_EQ(session("r zz\nz\nr axe\nr ax\n\n"), ">?\n>invalid command [z]\n>?\n>0000:");
}

TEST(RegisterCommand, PromptShowsTheValueAndTakesTheReply) {
    EXPECT_EQ(session("r ax 1234\nr ax\n  abcd\nr ax\n\nr ax\n\n"), ">>1234:>abcd:>0000:");
    // A byte register's value is shown in four digits.
    EXPECT_EQ(session("r ax 1234\nr ah\n56\nr ax\n\n"), ">>0012:>5634:");
}

TEST(RegisterCommand, EndOfInputAtThePromptIsAnEmptyReply) {
    const RunResult r = runVelkor({}, "r ax 1234\nr ax");
    EXPECT_EQ(r.out, ">>1234:>exit!\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
