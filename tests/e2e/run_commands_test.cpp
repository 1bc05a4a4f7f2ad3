// t, g, p and x, breakpoints and history, through the real binary.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

// 0100 mov ax,0001 / 0103 inc ax / 0104 call 010b / 0107 div bh (BH = 0: a stop request) /
// 0109 jmp 0109 / 010b inc bx / 010c ret
const std::vector<uint8_t> kProgram = {0xB8, 0x01, 0x00, 0x40, 0xE8, 0x04, 0x00, 0xF6,
                                       0xF7, 0xEB, 0xFE, 0x43, 0xC3};
const char kLoaded[] = ">load file comp.[noname.bin][269(0000010d)]\n";
const char kAtDiv[] = "0000:0107  f6f7              div\tbh\t\n";
const char kAtLoop[] = "0000:0109  ebfe              jmp\t0109\t\n";

class RunCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDir();
        writeGuestImage(dir + "/noname.bin", kProgram);
    }
    // Runs velkor in the test folder with "l" first; returns what followed the load line.
    std::string session(const std::string& commands) {
        const RunResult r = runVelkor({}, "l\n" + commands + "q\n", noDeviceEnv(), dir);
        EXPECT_EQ(r.out.substr(0, sizeof kLoaded - 1), kLoaded);
        EXPECT_EQ(r.status, 0);
        return r.out.substr(sizeof kLoaded - 1);
    }
    std::string dir;
};

TEST_F(RunCommands, TraceRunsOneInstructionAndShowsTheNext) {
    EXPECT_EQ(session("t\n"),
              std::string(">") + registerLines(1, 0, 0, 0, 0xFFF8, 0x103) + "0000:0103  40                inc\tax\t\n>exit!\n");
}

TEST_F(RunCommands, GoStopsAtAFourOrFiveDigitAddress) {
    const std::string atDiv = registerLines(2, 1, 0, 0, 0xFFF8, 0x107) + kAtDiv;
    EXPECT_EQ(session("g 107\n"), ">" + atDiv + ">exit!\n");
    EXPECT_EQ(session("g00107\n"), ">" + atDiv + ">exit!\n");
    // A five-digit address is linear: with CS = 0010 it is still the instruction at linear 00107.
    EXPECT_EQ(session("r cs 10\nr ip 0\ng 00107\n"),
              ">>>" + registerLines(2, 1, 0, 0, 0xFFF8, 0x0007, "NV UP EI PL NZ NA PO NC", 0, 0, 0, 0, 0, 0, 0x10) +
                  "0010:0007  f6f7              div\tbh\t\n>exit!\n");
}

TEST_F(RunCommands, GoStopsAfterAStopRequest) {
    EXPECT_EQ(session("g\n"), std::string(">division by zero\n") + registerLines(2, 1, 0, 0, 0xFFF8, 0x109) + kAtLoop +
                                  ">exit!\n");
}

TEST_F(RunCommands, GoStopsAtAnEnabledBreakpointAndLeavesIt) {
    const std::string out = session("bp 10b\ng\ng 107\n");
    EXPECT_EQ(out, ">set break point -> 0000:010b\n>" + registerLines(2, 0, 0, 0, 0xFFF6, 0x10B) +
                       "0000:010b* 43                inc\tbx\t\t<--bp:e\n>" + registerLines(2, 1, 0, 0, 0xFFF8, 0x107) +
                       kAtDiv + ">exit!\n");
}

TEST_F(RunCommands, DisabledBreakpointDoesNotStopGo) {
    const std::string out = session("bp 10b\nbd 10b\ng 107\n");
    EXPECT_EQ(out, ">set break point -> 0000:010b\n>set disable -> 0010b\n>" +
                       registerLines(2, 1, 0, 0, 0xFFF8, 0x107) + kAtDiv + ">exit!\n");
}

TEST_F(RunCommands, ProceedRunsACallToTheNextInstruction) {
    // p over the call stops after it; p over the division stops on its stop request.
    const std::string out = session("r ip 104\np\np\n");
    EXPECT_EQ(out, std::string(">>") + registerLines(0, 1, 0, 0, 0xFFF8, 0x107) + kAtDiv + ">division by zero\n" +
                       registerLines(0, 1, 0, 0, 0xFFF8, 0x109) + kAtLoop + ">exit!\n");
}

TEST_F(RunCommands, HistoryLimitStopsGoAndProceedAfter32001Instructions) {
    const std::string loop = registerLines(0, 0, 0, 0, 0xFFF8, 0x109) + kAtLoop;
    EXPECT_EQ(session("r ip 109\nh\ng\nhw\n"), ">>history on(simple)\n>ip history 32000. break\n" + loop +
                                                    ">write history..32001\n>exit!\n");
    const std::string history = readFile(dir + "/history.txt");
    std::string expected = "writing..\n";
    for (int i = 0; i < 32001; ++i) expected += "0109\n";
    EXPECT_EQ(history, expected);

    // p records history whatever the mode says.
    EXPECT_EQ(session("r ip 109\np\nhw\n"), ">>ip history 32000. break\n" + loop + ">write history..32001\n>exit!\n");
}

TEST_F(RunCommands, HistoryWriteAfterGoWithHistoryOffWritesNoEntries) {
    const std::string out = session("g 107\nhw\n");
    EXPECT_EQ(out.substr(out.size() - 25), ">write history..0\n>exit!\n");
    EXPECT_EQ(readFile(dir + "/history.txt"), "writing..\n");
}

TEST_F(RunCommands, HistoryWriteThatCannotOpenTheFileKeepsTheHistory) {
    ASSERT_EQ(mkdir((dir + "/history.txt").c_str(), 0755), 0);  // a folder where the file should be
    const std::string out = session("h\ng 107\nhw\n");
    EXPECT_NE(out.find(">write history..file open error.\n"), std::string::npos) << out;
    ASSERT_EQ(rmdir((dir + "/history.txt").c_str()), 0);
    // A fresh session cannot retry, so retry within one: the kept entries are written.
    ASSERT_EQ(mkdir((dir + "/history.txt").c_str(), 0755), 0);
    ChildProcess child(VELKOR_BINARY, {}, noDeviceEnv(), dir);
    child.write("l\nh\ng 107\nhw\n");
    ASSERT_TRUE(child.readUntil("file open error.\n>", 5000));
    ASSERT_EQ(rmdir((dir + "/history.txt").c_str()), 0);
    child.write("hw\nq\n");
    child.closeInput();
    EXPECT_EQ(child.finish(5000), 0);
    EXPECT_NE(child.output().find(">write history..5\n>exit!\n"), std::string::npos) << child.output();
    EXPECT_EQ(readFile(dir + "/history.txt"), "writing..\n0100\n0103\n0104\n010b\n010c\n");
}

TEST_F(RunCommands, HistoryModeCycles) {
    EXPECT_EQ(session("h\nh\nh\nhx\n"),
              ">history on(simple)\n>history on(full)\n>history off\n>history on(simple)\n>exit!\n");
}

TEST_F(RunCommands, ExecuteWritesASimpleTrace) {
    const std::string out = session("h\nx 107\n");
    EXPECT_EQ(out, ">history on(simple)\n>" + registerLines(2, 1, 0, 0, 0xFFF8, 0x107) + kAtDiv + ">exit!\n");
    EXPECT_EQ(readFile(dir + "/history.txt"),
              "0000:0100  mov\tax,0001\t\n0000:0103  inc\tax\t\n0000:0104  call\t010b\t\n"
              "0000:010b  inc\tbx\t\n0000:010c  ret\t\n");
}

TEST_F(RunCommands, ExecuteWritesAFullTraceOfRegisterDisplays) {
    session("h\nh\nx 104\n");
    EXPECT_EQ(readFile(dir + "/history.txt"),
              registerLines(1, 0, 0, 0, 0xFFF8, 0x103) + "0000:0103  40                inc\tax\t\n" +
                  registerLines(2, 0, 0, 0, 0xFFF8, 0x104) + "0000:0104  e80400            call\t010b\t\n");
}

TEST_F(RunCommands, ExecuteWithHistoryOffWritesNothingAndStopsOnAStopRequest) {
    EXPECT_EQ(session("x\n"),
              std::string(">division by zero\n") + registerLines(2, 1, 0, 0, 0xFFF8, 0x109) + kAtLoop + ">exit!\n");
    EXPECT_EQ(readFile(dir + "/history.txt"), "");
}

TEST_F(RunCommands, UnassembleFollowsTheRunCommands) {
    // After t, u lists from the instruction after the one shown; after g, from the stop point.
    const std::string afterTrace = session("t\nu\n");
    EXPECT_NE(afterTrace.find(">0000:0104  e80400"), std::string::npos) << afterTrace;
    const std::string afterGo = session("g 107\nu\n");
    EXPECT_NE(afterGo.find(">0000:0107  f6f7"), std::string::npos) << afterGo;
}

TEST(Breakpoints, ListToggleEnableDisableClear) {
    const RunResult r = runVelkor({}, "bp\nbp 200\nbp 100\nbp\nbd\nbp\nbe 100\nbe 300\nbd 300\nbp 200\nbp\nbc\nbp\n"
                                      "bp zz\nbp\nbx\nbpx\nq\n");
    EXPECT_EQ(r.out,
              ">no break point!\n>set break point -> 0000:0200\n>set break point -> 0000:0100\n"
              ">break points\n  00100 <enable>\n  00200 <enable>\n>>break points\n  00100 <disable>\n"
              "  00200 <disable>\n>set enable -> 00100\n>not found -> 00300\n>not found -> 00300\n"
              ">clear break point -> 0000:0200\n>break point\n  00100 <enable>\n>clear all break points!\n"
              ">no break point!\n>set break point -> 0000:0000\n>break point\n  00000 <enable>\n>>>exit!\n");
}

TEST(Breakpoints, AddressIsCsPlusTheValuesLowWord) {
    const RunResult r = runVelkor({}, "r cs 1234\nbp 12345\nbp\nq\n");
    EXPECT_EQ(r.out, ">>set break point -> 1234:2345\n>break point\n  14685 <enable>\n>exit!\n");
}

TEST(BreakingARun, CtrlCStopsAnEndlessGoAndTheSessionGoesOn) {
    const std::string dir = makeTempDir();
    writeGuestImage(dir + "/noname.bin", {0xEB, 0xFE});
    ChildProcess child(VELKOR_BINARY, {}, noDeviceEnv(), dir);
    child.write("l\ng\n");
    ASSERT_TRUE(child.readUntil("]\n>", 5000));
    usleep(200000);  // let it loop
    child.signal(SIGINT);
    ASSERT_TRUE(child.readUntil("jmp\t0100\t\n>", 5000)) << child.output();
    child.write("r ax 5\nr\nq\n");
    child.closeInput();
    EXPECT_EQ(child.finish(5000), 0);
    const std::string expectedStop =
        "]\n>break!\n" + registerLines(0, 0, 0, 0, 0xFFF8, 0x100) + "0000:0100  ebfe              jmp\t0100\t\n";
    EXPECT_NE(child.output().find(expectedStop), std::string::npos) << child.output();
    EXPECT_NE(child.output().find(registerLines(5, 0, 0, 0, 0xFFF8, 0x100)), std::string::npos);
    EXPECT_EQ(child.output().substr(child.output().size() - 7), ">exit!\n");
}

}  // namespace
