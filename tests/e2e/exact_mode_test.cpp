// velkor -exact through the real binary: the option where the command line expects one, and a
// session on the exact 8086 (its stack, the divide error through vector 0, INT3 through vector 3)
// with the monitor stopping the run as it always does.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/child_process.h"
#include "support/fake_device.h"

namespace {

// A dump line of 16 zero bytes at offset `offset` of segment 0.
std::string zeroLine(unsigned offset) {
    char line[80];
    std::snprintf(line, sizeof line, "0000:%04x 00 00 00 00 00 00 00 00-00 00 00 00 00 00 00 00 ................\n",
                  offset & 0xFFFF);
    return line;
}

// The rest of a 128-byte dump whose first line is given: seven zero lines (the dump's offsets wrap
// at 64 KiB; the bytes come from the linear addresses above it, which are all 0 here).
std::string dump(const std::string& firstLine, unsigned offset) {
    std::string text = firstLine;
    for (unsigned line = 1; line < 8; ++line) text += zeroLine(offset + line * 16);
    return text;
}

// mov ax,1234 / push ax: where the word lands and what SP becomes tells the processor apart.
const char kPushSession[] = "e 100 b8 34 12 50\nt\nt\nd 0:fff0\nq\n";

const std::string kPushTrace =
    ">>ax:1234  bx:0000  cx:0000  dx:0000  sp:fff8  bp:0000  si:0000  di:0000\n"
    "ds:0000  es:0000  ss:0000  cs:0000  ip:0103  NV UP EI PL NZ NA PO NC\n"
    "0000:0103  50                push\tax\t\n"
    ">ax:1234  bx:0000  cx:0000  dx:0000  sp:fff6  bp:0000  si:0000  di:0000\n"
    "ds:0000  es:0000  ss:0000  cs:0000  ip:0104  NV UP EI PL NZ NA PO NC\n"
    "0000:0104  0800              or\t[bx+si],al\t(00000:08)\n>";

const std::string kStandardPush =
    kPushTrace + dump("0000:fff0 00 00 00 00 00 00 00 00-34 12 00 00 00 00 00 00 ........4.......\n", 0xFFF0) +
    ">exit!\n";

const std::string kExactPush =
    kPushTrace + dump("0000:fff0 00 00 00 00 00 00 34 12-00 00 00 00 00 00 00 00 ......4.........\n", 0xFFF0) +
    ">exit!\n";

struct OptionCase {
    std::vector<std::string> args;
    std::string transcript;
};

class ExactOption : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ExactOption, ChoosesTheProcessorForTheWholeSession) {
    const RunResult r = runVelkor(GetParam().args, kPushSession,
                                  {{"VELKOR_COM3", "/nonexistent/c3"}, {"VELKOR_COM4", "/nonexistent/c4"},
                                   {"VELKOR_COM5", "/nonexistent/c5"}});
    EXPECT_EQ(r.out, GetParam().transcript);
    EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ExactOption,
                         ::testing::Values(OptionCase{{}, kStandardPush}, OptionCase{{"-com", "5"}, kStandardPush},
                                           OptionCase{{"-exact"}, kExactPush},
                                           OptionCase{{"-exact", "-com", "5"}, kExactPush},
                                           OptionCase{{"-com", "5", "-exact"}, kExactPush},
                                           OptionCase{{"-exact", "-exact"}, kExactPush}));

// A word after -com is its port number, whatever it says: -exact there is port 0, the session
// stays on the standard processor.
TEST(ExactOption, AfterComItIsThePortNumber) {
    FakeDevice device;
    const RunResult r = runVelkor({"-com", "-exact"}, kPushSession,
                                  {{"VELKOR_COM0", device.path()}, {"VELKOR_COM3", "/nonexistent/c3"}});
    EXPECT_EQ(r.out, std::string("reset\x81\x46" "5a\n") + kStandardPush);
}

TEST(ExactOption, ABadCommandLineStillPrintsTheUsage) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-exact", "5"},
                                                 std::vector<std::string>{"-EXACT"},
                                                 std::vector<std::string>{"-exact=1"}}) {
        const RunResult r = runVelkor(args, "q\n");
        EXPECT_EQ(r.out, "usage: velkor [option]\n\t-com <comport number>\n") << args[0];
        EXPECT_EQ(r.status, 0);
    }
}

// mov ax,1234 / push ax / mov bl,0 / div bl: the divide error pushes FLAGS (as the 8086 stores
// them, with the flags its division microcode left), CS and the IP after the DIV, clears IF and
// enters vector 0 (the reset table's FFFF:0008); the monitor stops there. Then INT3 at 0110 goes
// through vector 3 the same way.
TEST(ExactSession, TheDivideErrorAndTheBreakpointEnterTheirHandlers) {
    const RunResult r = runVelkor({"-exact"},
                                  "e 100 b8 34 12 50 b3 00 f6 f3\ng\nd 0:ffe8\n"
                                  "e 110 cc\nr cs\n0\nr ip\n110\ng\nd 0:ffe0\nq\n");
    const std::string handler = "ffff:0008  cb                retf\t\n>";
    EXPECT_EQ(r.out,
              ">>division by zero\n"
              "ax:1234  bx:0000  cx:0000  dx:0000  sp:fff0  bp:0000  si:0000  di:0000\n"
              "ds:0000  es:0000  ss:0000  cs:ffff  ip:0008  NV UP DI PL NZ NA PE NC\n" +
                  handler +
                  dump("0000:ffe8 00 00 00 00 00 00 00 00-08 01 00 00 06 f2 34 12 ............." "\xf2" "4.\n", 0xFFE8) +
                  ">>ffff:>0008:>"
                  "ax:1234  bx:0000  cx:0000  dx:0000  sp:ffea  bp:0000  si:0000  di:0000\n"
                  "ds:0000  es:0000  ss:0000  cs:ffff  ip:0008  NV UP DI PL NZ NA PE NC\n" +
                  handler +
                  "0000:ffe0 00 00 00 00 00 00 00 00-00 00 11 01 00 00 06 f0 ..............." "\xf0" "\n"
                  "0000:fff0 08 01 00 00 06 f2 34 12-00 00 00 00 00 00 00 00 ....." "\xf2" "4.........\n" +
                  zeroLine(0x0000) + zeroLine(0x0010) + zeroLine(0x0020) +
                  zeroLine(0x0030) + zeroLine(0x0040) + zeroLine(0x0050) + ">exit!\n");
}

}  // namespace
