// Code that changes after it has run: whoever rewrites the bytes (the guest, a string instruction,
// the monitor), the next run of those bytes must execute what is there now.
#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"

namespace {

// The register line after the last g, where each case reads its result.
std::string lastRegisterLine(const std::string& out) {
    const auto at = out.rfind(">ax:");
    return at == std::string::npos ? "" : out.substr(at + 1, out.find('\n', at) - at - 1);
}

struct RewriteCase {
    const char* name;
    const char* commands;
    const char* registers;  // the start of the register line at the end
};

// 0100 mov cx,2 / 0103 add bx,1 / 0106 mov byte [0105],10 / 010b loop 0103 / 010d int3:
// the second pass adds the immediate the first pass wrote (BX = 1 + 10).
#define PATCHING_LOOP "e 100 b9 2 0 83 c3 1 c6 6 5 1 10 e2 f6 cc\n"

const RewriteCase kCases[] = {
    {"GuestPatchesTheImmediateOfAnInstructionItRan", PATCHING_LOOP "g\n", "ax:0000  bx:0011  cx:0000"},
    // The monitor turns the ADD into ADD AX between two runs (BX is reset, AX gains 1 + 10).
    {"MonitorEditBetweenTwoRuns", PATCHING_LOOP "g\ne 104 c0 1\nr bx 0\nr ip 100\ng\n", "ax:0011  bx:0000  cx:0000"},
    // f fills the ADD with NOPs between two runs; the guest's MOV then writes 10 into the middle
    // of them, and the second run executes the bytes as they now stand: AX ends 1001, BX at 0
    // (what single steps give too).
    {"MonitorFillBetweenTwoRuns", PATCHING_LOOP "g\nf 103 105 90\nr bx 0\nr ip 100\ng\n", "ax:1001  bx:0000  cx:0000"},
    // 0100 mov cx,3 / 0103 rep stosb over 0105-0107 (AL = 90) / 0105 inc ax x3 / 0108 int3: the
    // three INCs ran once before (first g stops at 0108), then the string turns them into NOPs.
    {"StringOverwritesTheCodeAfterIt",
     "e 100 b9 3 0 f3 aa 40 40 40 cc\nr es 0\nr di 200\ng\nr ip 100\nr ax 90\nr di 105\ng\n",
     "ax:0090  bx:0000  cx:0000"},
    // 0100 mov ax,40b0 runs to 0103, then 0101 is entered, where b0 40 is mov al,40.
    {"JumpIntoTheMiddleOfAnInstructionThatRan", "e 100 b8 b0 40 cc\ng 103\nr ax 0\nr ip 101\ng 103\n",
     "ax:0040  bx:0000  cx:0000"},
};

class CodeRewrite : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(CodeRewrite, TheNextRunExecutesTheNewBytes) {
    for (const char* option : {"", "-exact"}) {
        const std::vector<std::string> args = option[0] ? std::vector<std::string>{option} : std::vector<std::string>{};
        const RunResult r = runVelkor(args, std::string(GetParam().commands) + "q\n", noDeviceEnv(), makeTempDir());
        EXPECT_EQ(lastRegisterLine(r.out).substr(0, std::string(GetParam().registers).size()), GetParam().registers)
            << option << "\n" << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CodeRewrite, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
