// The x command's Q-key break, with velkor on a real terminal (a pseudo-terminal).
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "support/terminal_session.h"

namespace {

TEST(QuitKey, BreaksAnEndlessExecuteOnATerminal) {
    const std::string dir = makeTempDir();
    writeGuestImage(dir + "/noname.bin", {0xEB, 0xFE});
    TerminalSession session(dir);
    session.type("l\n");
    ASSERT_TRUE(session.waitFor("]\r\n>", 5000)) << session.output();
    session.type("x\n");
    usleep(200000);
    session.type("q");
    ASSERT_TRUE(session.waitFor("break!\r\n", 5000)) << session.output();
    session.type("z");  // the key that break! waits for is taken, not run as a command
    ASSERT_TRUE(session.waitFor("jmp\t0100\t\r\n>", 5000)) << session.output();
    session.type("q\n");
    ASSERT_TRUE(session.waitFor("exit!", 5000)) << session.output();
    EXPECT_EQ(session.exitStatus(), 0);
    EXPECT_EQ(session.output().find("invalid command [z]"), std::string::npos);
}

TEST(QuitKey, ScriptedInputIsNeverPolledDuringARun) {
    const std::string dir = makeTempDir();
    // 0100 mov cx,2000 / 0103 loop 0103 / 0105 int3-free stop: div bh (BH = 0)
    writeGuestImage(dir + "/noname.bin", {0xB9, 0x00, 0x20, 0xE2, 0xFE, 0xF6, 0xF7});
    const RunResult r = runVelkor({}, "l\nx\nq\n", noDeviceEnv(), dir);
    EXPECT_EQ(r.out.find("break!"), std::string::npos);
    EXPECT_NE(r.out.find("division by zero\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 7), ">exit!\n");
}

}  // namespace
