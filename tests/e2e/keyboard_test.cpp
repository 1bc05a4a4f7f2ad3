// The x command's Q-key break, with velkor on a real terminal (a pseudo-terminal).
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

class TerminalSession {
public:
    explicit TerminalSession(const std::string& dir) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            for (const auto& [name, value] : noDeviceEnv()) setenv(name.c_str(), value.c_str(), 1);
            if (chdir(dir.c_str()) != 0) _exit(126);
            execl(VELKOR_BINARY, VELKOR_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TerminalSession() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
    }
    void type(const std::string& keys) { EXPECT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    bool waitFor(const std::string& text, int timeoutMs) {
        for (int waited = 0; output_.find(text) == std::string::npos; waited += 10) {
            if (waited > timeoutMs) return false;
            pollfd entry{master_, POLLIN, 0};
            if (poll(&entry, 1, 10) > 0) {
                char buffer[4096];
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n > 0) output_.append(buffer, static_cast<size_t>(n));
            }
        }
        return true;
    }
    int exitStatus() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    std::string output_;
};

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
