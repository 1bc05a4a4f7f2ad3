#pragma once
// velkor on a real terminal (a pseudo-terminal): the test types keys and reads what the terminal
// shows.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"

class TerminalSession {
public:
    // Starts velkor in dir with no device and the extra environment given.
    explicit TerminalSession(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& env = {}) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            for (const auto& [name, value] : noDeviceEnv()) setenv(name.c_str(), value.c_str(), 1);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
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
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    void type(const std::string& keys) { EXPECT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    // Waits until the text has appeared on the terminal, counting from `from` in everything shown.
    bool waitFor(const std::string& text, int timeoutMs, size_t from = 0) {
        for (int waited = 0; output_.find(text, from) == std::string::npos; waited += 10) {
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
    // Waits until the program reads the terminal key by key (its line mode is off, as a line editor
    // sets it): a key typed before that would meet the terminal's own line editing.
    bool waitForKeyMode(int timeoutMs) {
        for (int waited = 0; waited <= timeoutMs; waited += 5) {
            termios mode{};
            if (tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ICANON) == 0) return true;
            usleep(5000);
        }
        return false;
    }
    // The exit status, or -1 when the program did not exit; signal receives the ending signal.
    int exitStatus(int* signal = nullptr) {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (signal) *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    std::string output_;
};
