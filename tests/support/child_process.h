#pragma once
// Runs the real velkor binary (or any program) with scripted standard input, captured standard
// output and a chosen environment, as a user's shell would.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

using EnvList = std::vector<std::pair<std::string, std::string>>;

class ChildProcess {
public:
    // Starts program with args; env entries are added to (or replace) the inherited environment.
    // workdir, when not empty, becomes the child's current directory.
    ChildProcess(const std::string& program, const std::vector<std::string>& args, const EnvList& env,
                 const std::string& workdir = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void write(const std::string& text);
    void closeInput();
    // Reads until the output so far contains marker; false on time-out or end of output.
    bool readUntil(const std::string& marker, int timeoutMs);
    // Reads to the end of output (or the time-out) and waits for the exit; returns the exit status
    // (-1 when the child did not exit normally or was killed on time-out).
    int finish(int timeoutMs);
    void signal(int number);

    const std::string& output() const { return output_; }
    // The signal that ended the child (after finish), 0 when it exited or was killed on time-out.
    int endSignal() const { return endSignal_; }

private:
    bool readSome(int timeoutMs);
    pid_t pid_ = -1;
    int input_ = -1;
    int outputFd_ = -1;
    std::string output_;
    int endSignal_ = 0;
};

struct RunResult {
    std::string out;
    int status = -1;
};

// Environment that maps COM3 and COM4 to paths that do not exist, so no device answers and no real
// serial port of the machine is ever opened.
EnvList noDeviceEnv();

// Runs velkor to completion with the given standard input.
RunResult runVelkor(const std::vector<std::string>& args, const std::string& input, EnvList env = noDeviceEnv(),
                    const std::string& workdir = "", int timeoutMs = 20000);

// A fresh empty directory under the system's temporary folder.
std::string makeTempDir();
