// The program's start-up, command line and command loop, through the real binary.
#include <gtest/gtest.h>

#include "support/child_process.h"

namespace {

const char kUsage[] = "usage: velkor [option]\n\t-com <comport number>\n";

struct UsageCase {
    std::vector<std::string> args;
};

class BadCommandLine : public ::testing::TestWithParam<UsageCase> {};

TEST_P(BadCommandLine, PrintsUsageOnceAndExitsZero) {
    // Standard input holds commands that must never run.
    const RunResult r = runVelkor(GetParam().args, "z\nq\n");
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, BadCommandLine,
                         ::testing::Values(UsageCase{{"-COM", "5"}}, UsageCase{{"-c", "5"}}, UsageCase{{"5"}},
                                           UsageCase{{"-com", "5", "x", "y"}}, UsageCase{{"-com5"}}));

TEST(CommandLoop, PromptsInterpretsAndQuits) {
    const RunResult r = runVelkor({}, "z\nq\n");
    EXPECT_EQ(r.out, ">invalid command [z]\n>exit!\n");
    EXPECT_EQ(r.status, 0);
}

TEST(CommandLoop, GoodCommandLinesStartTheMonitor) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-com"},
                                                 std::vector<std::string>{"-com", "abc"},
                                                 std::vector<std::string>{"-com", "-com"},
                                                 std::vector<std::string>{"-com", "7", "-com", "2"}}) {
        const RunResult r = runVelkor(args, "q\n",
                                      {{"VELKOR_COM0", "/nonexistent/c0"},
                                       {"VELKOR_COM2", "/nonexistent/c2"},
                                       {"VELKOR_COM3", "/nonexistent/c3"},
                                       {"VELKOR_COM4", "/nonexistent/c4"},
                                       {"VELKOR_COM7", "/nonexistent/c7"}});
        EXPECT_EQ(r.out, ">exit!\n") << args.size();
        EXPECT_EQ(r.status, 0);
    }
}

TEST(CommandLoop, EmptyAndCarriageReturnLinesJustPromptAgain) {
    const RunResult r = runVelkor({}, "\n\r\n\r\r\nq\n");
    EXPECT_EQ(r.out, ">>>>exit!\n");
}

TEST(CommandLoop, EndOfInputEndsLikeQuit) {
    RunResult r = runVelkor({}, "");
    EXPECT_EQ(r.out, ">exit!\n");
    EXPECT_EQ(r.status, 0);
    // A last line without its newline still runs.
    r = runVelkor({}, "z");
    EXPECT_EQ(r.out, ">invalid command [z]\n>exit!\n");
    EXPECT_EQ(r.status, 0);
}

TEST(CommandLoop, FixedAnswersOfTheInterpreter) {
    const RunResult r = runVelkor({}, "a\nf\nA\n5\n.\nj\nk\no\ns\nv\ny\nqq\n");
    EXPECT_EQ(r.out,
              ">>plz ext char!\n>invalid command [A]\n>invalid command [5]\n>invalid command [.]\n"
              ">invalid command [j]\n>invalid command [k]\n>invalid command [o]\n>invalid command [s]\n"
              ">no capture running.\n>invalid command [y]\n>exit!\n");
}

TEST(CommandLoop, IllegalFileCommandRequests) {
    const RunResult r = runVelkor({}, "nx\nlx\nwx\nwa\nwai\nn\nq\n");
    EXPECT_EQ(r.out,
              ">illegal command request.\n>illegal command request.\n>illegal command request.\n"
              ">illegal command request.\n>illegal command request.\n>illegal command request.\n>exit!\n");
}

TEST(CommandLoop, SilentSubCommands) {
    // Unknown sub-commands under b, f and i do nothing and print nothing.
    const RunResult r = runVelkor({}, "bz\nb\nfz\niz\ni\nq\n");
    EXPECT_EQ(r.out, ">>>>>>exit!\n");
}

TEST(CommandLoop, OverlongLineIsTruncatedNotOverrun) {
    std::string line(70 * 1024, 'z');
    const RunResult r = runVelkor({}, line + "\nq\n");
    EXPECT_EQ(r.out, ">invalid command [z]\n>exit!\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
