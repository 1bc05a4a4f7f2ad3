#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {
long long nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args, const EnvList& env,
                           const std::string& workdir) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        // A capture the developer's own shell asks for would change every transcript.
        unsetenv("VELKOR_CAPTURE");
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    outputFd_ = out[0];
    ::signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) close(input_);
    if (outputFd_ >= 0) close(outputFd_);
}

void ChildProcess::write(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(input_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void ChildProcess::closeInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
}

bool ChildProcess::readSome(int timeoutMs) {
    pollfd entry{outputFd_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) return false;
    char buffer[65536];
    const ssize_t n = read(outputFd_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::readUntil(const std::string& marker, int timeoutMs) {
    const long long end = nowMs() + timeoutMs;
    while (output_.find(marker) == std::string::npos) {
        const long long left = end - nowMs();
        if (left <= 0 || !readSome(static_cast<int>(left))) return output_.find(marker) != std::string::npos;
    }
    return true;
}

int ChildProcess::finish(int timeoutMs) {
    const long long end = nowMs() + timeoutMs;
    // Read until the output closes or the time runs out.
    for (long long left = end - nowMs(); left > 0 && readSome(static_cast<int>(left)); left = end - nowMs()) {
    }
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && nowMs() < end) usleep(2000);
    if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    if (WIFSIGNALED(status)) endSignal_ = WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::signal(int number) {
    if (pid_ > 0) kill(pid_, number);
}

EnvList noDeviceEnv() {
    return {{"VELKOR_COM3", "/nonexistent/velkor-com3"}, {"VELKOR_COM4", "/nonexistent/velkor-com4"}};
}

RunResult runVelkor(const std::vector<std::string>& args, const std::string& input, EnvList env,
                    const std::string& workdir, int timeoutMs) {
    ChildProcess child(VELKOR_BINARY, args, env, workdir);
    child.write(input);
    child.closeInput();
    RunResult result;
    result.status = child.finish(timeoutMs);
    result.out = child.output();
    return result;
}

std::string makeTempDir() {
    char pattern[] = "/tmp/velkor-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) throw std::runtime_error("mkdtemp");
    return made;
}
