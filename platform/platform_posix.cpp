// POSIX implementation of the platform layer.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "platform/line_editor.h"
#include "platform/platform.h"

namespace platform {

namespace {

std::string comPortPath(int n) {
    const std::string variable = "VELKOR_COM" + std::to_string(n);
    if (const char* mapped = std::getenv(variable.c_str())) return mapped;
    if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    return {};
}

speed_t baudConstant(long baud) {
    switch (baud) {
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
#ifdef B460800
        case 460800: return B460800;
#endif
#ifdef B921600
        case 921600: return B921600;
#endif
        default: return 0;
    }
}

// A terminal translates CR/LF and echoes by default, which would corrupt binary messages:
// raw 8-bit mode, no flow control, reads return as soon as a byte is there.
void makeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return;  // not a terminal: use it as it is
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (const char* baudText = std::getenv("VELKOR_BAUD")) {
        if (speed_t speed = baudConstant(std::strtol(baudText, nullptr, 10))) {
            cfsetispeed(&settings, speed);
            cfsetospeed(&settings, speed);
        }
    }
    tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

void initConsole() { signal(SIGXFSZ, SIG_IGN); }

PortHandle openComPort(int n) {
    const std::string path = comPortPath(n);
    if (path.empty()) return kInvalidPort;
    // Non-blocking open so that a line without carrier cannot hang start-up.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidPort;
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    makeRaw(fd);
    return fd;
}

void writePort(PortHandle port, const uint8_t* bytes, size_t count) {
    if (port == kInvalidPort) return;
    while (count > 0) {
        const ssize_t written = ::write(static_cast<int>(port), bytes, count);
        if (written < 0 && errno == EINTR && !endRequested()) continue;
        if (written <= 0) return;  // errors are ignored: the device may be gone
        bytes += written;
        count -= static_cast<size_t>(written);
    }
}

bool readPortByte(PortHandle port, uint8_t& byte, int timeoutMs) {
    if (port == kInvalidPort) return false;
    const int64_t deadline = monotonicNanos() + int64_t{timeoutMs} * 1000000;
    for (;;) {
        const int64_t left = (deadline - monotonicNanos()) / 1000000;
        if (left < 0) return false;
        pollfd entry{static_cast<int>(port), POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t got = ::read(static_cast<int>(port), &byte, 1);
        if (got == 1) return true;
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return false;
    }
}

void closePort(PortHandle port) {
    if (port != kInvalidPort) ::close(static_cast<int>(port));
}

int64_t monotonicNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

void sleepUntilNanos(int64_t deadline) {
    timespec target{static_cast<time_t>(deadline / 1000000000), static_cast<long>(deadline % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &target, nullptr) == EINTR) {
        if (breakRequested()) return;
    }
}

// ---- Keyboard ----------------------------------------------------------------------------

bool inputIsTerminal() {
    static const bool terminal = isatty(STDIN_FILENO) != 0;
    return terminal;
}

namespace {
bool keyModeActive = false;
termios savedTerminal{};
}  // namespace

void beginKeyMode() {
    if (keyModeActive || !isatty(STDIN_FILENO)) return;
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    termios raw = savedTerminal;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL);  // Enter arrives as CR, as on a Windows console
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    keyModeActive = true;
}

void endKeyMode() {
    if (!keyModeActive) return;
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    keyModeActive = false;
}

bool quitKeyPressed() {
    if (!keyModeActive) return false;
    pollfd entry{STDIN_FILENO, POLLIN, 0};
    if (::poll(&entry, 1, 0) <= 0) return false;
    unsigned char key = 0;
    if (::read(STDIN_FILENO, &key, 1) != 1) return false;
    return key == 'q' || key == 'Q';
}

int readKey() {
    std::fflush(stdout);
    if (keyModeActive) {
        unsigned char key = 0;
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, &key, 1);
            if (got == 1) return key;
            if (got < 0 && errno == EINTR && !endRequested()) continue;
            return -1;
        }
    }
    const int key = std::getchar();
    return key == EOF ? -1 : key;
}

// ---- Run break ----------------------------------------------------------------------------

std::atomic<int> breakFlag{0};

namespace {
struct sigaction previousInterrupt {};
bool breakWatchActive = false;

void onInterrupt(int) { breakFlag.store(1, std::memory_order_relaxed); }
}  // namespace

void beginBreakWatch() {
    breakFlag.store(endRequested() ? 1 : 0, std::memory_order_relaxed);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &previousInterrupt);
    breakWatchActive = true;
}

void endBreakWatch() {
    sigaction(SIGINT, &previousInterrupt, nullptr);
    breakWatchActive = false;
    breakFlag.store(0, std::memory_order_relaxed);
}

// ---- Orderly end --------------------------------------------------------------------------

namespace {
constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};
struct sigaction previousEndActions[3] {};
bool orderlyEndArmed = false;
std::atomic<int> endFlag{0};
volatile sig_atomic_t endSignal = 0;

void onEndSignal(int number) {
    const int savedErrno = errno;
    endSignal = number;
    endFlag.store(1, std::memory_order_relaxed);
    breakFlag.store(1, std::memory_order_relaxed);
    // The signal cuts short a read of standard input that is already waiting, but not one about
    // to start: from now on every read of it ends at once, as at the end of input.
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        ::close(null);
    }
    errno = savedErrno;
}

// While a run watches for Ctrl-C, SIGINT belongs to the run: the action to change is the one the
// break watch puts back when the run ends.
void exchangeAction(int number, const struct sigaction* action, struct sigaction* previous) {
    if (number == SIGINT && breakWatchActive) {
        if (previous) *previous = previousInterrupt;
        if (action) previousInterrupt = *action;
        return;
    }
    sigaction(number, action, previous);
}
}  // namespace

// No SA_RESTART: the signal must cut a blocked read of standard input short.
void armOrderlyEnd() {
    if (orderlyEndArmed) return;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kEndSignals); ++i) {
        exchangeAction(kEndSignals[i], nullptr, &previousEndActions[i]);
        // A signal the program was started with ignored stays ignored.
        if (previousEndActions[i].sa_handler != SIG_IGN) exchangeAction(kEndSignals[i], &action, nullptr);
    }
    orderlyEndArmed = true;
}

void disarmOrderlyEnd() {
    if (!orderlyEndArmed) return;
    for (size_t i = 0; i < std::size(kEndSignals); ++i) exchangeAction(kEndSignals[i], &previousEndActions[i], nullptr);
    orderlyEndArmed = false;
}

bool endRequested() { return endFlag.load(std::memory_order_relaxed) != 0; }

void completeOrderlyEnd() {
    const int number = endSignal != 0 ? endSignal : SIGTERM;
    std::fflush(stdout);
    signal(number, SIG_DFL);
    raise(number);
    _exit(128 + number);
}

}  // namespace platform
