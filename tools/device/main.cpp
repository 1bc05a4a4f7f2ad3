// velkor-device: a software YM2608 on a pseudo-terminal. It answers velkor's serial protocol like
// the real device, keeps the chip's register images, can capture the register stream as VGM and
// S98 files, render it with the software YM2608 to a WAV file or the sound card, and log every
// message. Users without the hardware run it, then point velkor's COM port at
// its path (VELKOR_COM3=./opna velkor).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "tools/device/device_protocol.h"
#include "tools/device/arrival_capture.h"
#include "tools/device/device_sound.h"

namespace {

using device::Event;
using device::EventKind;

constexpr const char* kUsage = "usage: velkor-device [PATH] [--answer HH] [--vgm FILE] [--s98 FILE] [--wav FILE] [--play] [--log FILE]\n";
constexpr uint8_t kDefaultAnswer = 0x5A;
constexpr int kPollTimeoutMs = 100;   // bounds the delay of a signal that lands just before poll
constexpr long kIdlePollNs = 10000000;  // 10 ms while nobody holds the other side

volatile sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

// No SA_RESTART: a signal must interrupt poll so the main loop sees the flag at once. A signal the
// device was started with ignored stays ignored: a script that runs it in the background next to
// velkor leaves SIGINT ignored, so the Ctrl-C that breaks a run in velkor does not end the capture.
void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void sleepIdle() {
    const timespec pause{0, kIdlePollNs};
    nanosleep(&pause, nullptr);  // a signal cuts it short, which is what we want
}

// ---- Command line ------------------------------------------------------------------------

struct Options {
    std::string path = "./opna";
    uint8_t answer = kDefaultAnswer;
    std::string vgmPath;
    std::string s98Path;
    std::string wavPath;
    bool play = false;
    std::string logPath;
};

std::optional<uint8_t> parseHexByte(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    }
    return static_cast<uint8_t>(std::stoul(text, nullptr, 16));
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    bool pathGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--answer" && hasValue) {
            const auto answer = parseHexByte(argv[++i]);
            if (!answer) return std::nullopt;
            options.answer = *answer;
        } else if (arg == "--vgm" && hasValue) {
            options.vgmPath = argv[++i];
        } else if (arg == "--s98" && hasValue) {
            options.s98Path = argv[++i];
        } else if (arg == "--wav" && hasValue) {
            options.wavPath = argv[++i];
        } else if (arg == "--play") {
            options.play = true;
        } else if (arg == "--log" && hasValue) {
            options.logPath = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && !pathGiven) {
            options.path = arg;
            pathGiven = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// ---- Pseudo-terminal and its path --------------------------------------------------------

struct Terminal {
    int master = -1;
    std::string slavePath;
};

std::optional<Terminal> openTerminal() {
    Terminal terminal;
    terminal.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal.master < 0) return std::nullopt;
    const char* name = nullptr;
    if (grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0 || !(name = ptsname(terminal.master))) {
        close(terminal.master);
        return std::nullopt;
    }
    terminal.slavePath = name;
    // Non-blocking: the loop reads whatever is there, and an answer nobody reads is dropped
    // rather than stalling the device.
    fcntl(terminal.master, F_SETFL, fcntl(terminal.master, F_GETFL) | O_NONBLOCK);
    fcntl(terminal.master, F_SETFD, FD_CLOEXEC);
    // Raw from the start, so that no echo or newline translation touches the binary messages
    // even before the client configures the line (on Linux this sets the slave's modes).
    termios settings{};
    if (tcgetattr(terminal.master, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(terminal.master, TCSANOW, &settings);
    }
    return terminal;
}

bool isSymbolicLink(const std::string& path, bool& exists) {
    struct stat info {};
    exists = lstat(path.c_str(), &info) == 0;
    return exists && S_ISLNK(info.st_mode);
}

// Points path at the slave side. An old link (from an earlier run) is replaced; anything else
// at that path is left alone.
bool createLink(const std::string& path, const std::string& target) {
    bool exists = false;
    if (isSymbolicLink(path, exists)) {
        unlink(path.c_str());
    } else if (exists) {
        std::fprintf(stderr, "velkor-device: %s exists and is not a symbolic link\n", path.c_str());
        return false;
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "velkor-device: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

// Removes the link only while it is still ours: another device may have taken the path over.
void removeLink(const std::string& path, const std::string& target) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length >= 0 && std::string(buffer, static_cast<size_t>(length)) == target) unlink(path.c_str());
}

// ---- The device --------------------------------------------------------------------------

class Device {
public:
    Device(int master, uint8_t answer, std::FILE* log, device::ArrivalCapture& capture, device::DeviceSound& sound,
           double start)
        : master_(master), answer_(answer), log_(log), capture_(capture), sound_(sound), start_(start) {}

    // Reads what the line holds. Returns false once the other side has hung up after using the
    // line; until someone has used it, a hang-up only means nobody is there yet.
    bool serviceLine(short revents);
    void printSummary(double end) const;

private:
    void handle(const Event& event, double now);
    __attribute__((format(printf, 3, 4))) void logLine(double now, const char* format, ...);
    void answerReset();

    int master_;
    uint8_t answer_;
    std::FILE* log_;
    device::ArrivalCapture& capture_;
    device::DeviceSound& sound_;
    double start_;
    device::ProtocolReader reader_;
    bool used_ = false;
};

bool Device::serviceLine(short revents) {
    unsigned char buffer[4096];
    const ssize_t count = read(master_, buffer, sizeof buffer);
    if (count > 0) {
        used_ = true;
        const double now = monotonicSeconds();
        for (ssize_t i = 0; i < count; ++i) {
            if (const auto event = reader_.feed(buffer[i])) handle(*event, now);
        }
        if (log_) std::fflush(log_);
        return true;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
        if (!(revents & (POLLHUP | POLLERR))) return true;
    }
    // Nothing left to read and the other side is gone (EIO, end of file or a hang-up event).
    if (used_) return false;
    sleepIdle();
    return true;
}

void Device::handle(const Event& event, double now) {
    switch (event.kind) {
        case EventKind::WriteA0:
            logLine(now, "A0 %02x %02x", event.reg, event.value);
            capture_.addWrite(now, capture::Bank::A0, event.reg, event.value);
            sound_.addWrite(now, capture::Bank::A0, event.reg, event.value);
            break;
        case EventKind::WriteA1:
            logLine(now, "A1 %02x %02x", event.reg, event.value);
            capture_.addWrite(now, capture::Bank::A1, event.reg, event.value);
            sound_.addWrite(now, capture::Bank::A1, event.reg, event.value);
            break;
        case EventKind::Reset:
            answerReset();
            logLine(now, "reset -> %02x", answer_);
            break;
        case EventKind::Error:
            logLine(now, "error: unexpected byte %02x", event.value);
            break;
    }
}

void Device::answerReset() {
    while (write(master_, &answer_, 1) < 0 && errno == EINTR) {
    }
}

void Device::logLine(double now, const char* format, ...) {
    if (!log_) return;
    std::fprintf(log_, "%.6f ", now - start_);
    va_list args;
    va_start(args, format);
    std::vfprintf(log_, format, args);
    va_end(args);
    std::fputc('\n', log_);
}

void Device::printSummary(double end) const {
    const device::MessageCounts& counts = reader_.counts();
    std::printf("velkor-device: A0 writes %llu, A1 writes %llu, resets %llu, protocol errors %llu, %.3f s\n",
                counts.writesA0, counts.writesA1, counts.resets, counts.errors, end - start_);
    std::fflush(stdout);
}

// Serves the line until the client hangs up after using it, or a signal asks to stop.
void serve(Device& device, int master) {
    while (!stopRequested) {
        pollfd entry{master, POLLIN, 0};
        const int ready = poll(&entry, 1, kPollTimeoutMs);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) continue;
        if (!device.serviceLine(entry.revents)) return;
    }
}

int runDevice(const Options& options) {
    const double start = monotonicSeconds();
    device::ArrivalCapture capture;
    if (!options.vgmPath.empty() && !capture.openVgm(options.vgmPath)) {
        std::fprintf(stderr, "velkor-device: cannot create %s: %s\n", options.vgmPath.c_str(), std::strerror(errno));
        return 1;
    }
    if (!options.s98Path.empty() && !capture.openS98(options.s98Path)) {
        std::fprintf(stderr, "velkor-device: cannot create %s: %s\n", options.s98Path.c_str(), std::strerror(errno));
        return 1;
    }
    device::DeviceSound sound;
    std::string soundError;
    if (!options.wavPath.empty() && !sound.openWav(options.wavPath, soundError)) {
        std::fprintf(stderr, "velkor-device: %s\n", soundError.c_str());
        return 1;
    }
    // No sound card is no reason to stop: the captures and the WAV file go on.
    if (options.play && !sound.openPlayback(soundError)) {
        std::fprintf(stderr, "velkor-device: not playing live: %s\n", soundError.c_str());
    }
    std::FILE* log = nullptr;
    if (!options.logPath.empty() && !(log = std::fopen(options.logPath.c_str(), "w"))) {
        std::fprintf(stderr, "velkor-device: cannot create %s: %s\n", options.logPath.c_str(), std::strerror(errno));
        return 1;
    }
    const auto terminal = openTerminal();
    if (!terminal) {
        std::fprintf(stderr, "velkor-device: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        if (log) std::fclose(log);
        return 1;
    }
    if (!createLink(options.path, terminal->slavePath)) {
        close(terminal->master);
        if (log) std::fclose(log);
        return 1;
    }
    std::printf("velkor-device: listening on %s\n", options.path.c_str());
    std::fflush(stdout);

    Device device(terminal->master, options.answer, log, capture, sound, start);
    serve(device, terminal->master);

    const double end = monotonicSeconds();
    removeLink(options.path, terminal->slavePath);
    close(terminal->master);
    if (log) std::fclose(log);
    const bool captured = capture.finish(end);
    const bool sounded = sound.finish(end, soundError);
    device.printSummary(end);
    if (!captured) std::fprintf(stderr, "velkor-device: writing the capture failed\n");
    if (!sounded) std::fprintf(stderr, "velkor-device: %s\n", soundError.c_str());
    if (!captured || !sounded) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    installSignalHandlers();
    return runDevice(*options);
}
