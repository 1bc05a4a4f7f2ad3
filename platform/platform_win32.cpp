// Win32 implementation of the platform layer.
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "platform/line_editor.h"
#include "platform/platform.h"

namespace platform {

// ---- Console -----------------------------------------------------------------------------

namespace {
// Standard input is a console window (not a pipe or a file) for the whole run.
bool inputIsConsole() {
    static const bool console = _isatty(_fileno(stdin)) != 0;
    return console;
}
}  // namespace

bool inputIsTerminal() { return inputIsConsole(); }

void initConsole() {
    // The C runtime's text mode would turn every "\n" velkor prints into "\r\n"; the output must be
    // the same bytes as on every other platform (the console itself starts a new line on "\n").
    _setmode(_fileno(stdout), _O_BINARY);
    // Scripted input is taken byte for byte, as on POSIX: a CR stays in the line and 0x1A does not
    // end the input. A console keeps text mode so that Enter still ends a line with "\n".
    if (!inputIsConsole()) _setmode(_fileno(stdin), _O_BINARY);
}

// ---- Serial port -------------------------------------------------------------------------

PortHandle openComPort(int n) {
    // The \\.\ form reaches COM10 and above, which the plain "COMn" name cannot.
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", n);
    HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) return kInvalidPort;
    return reinterpret_cast<PortHandle>(port);
}

void writePort(PortHandle port, const uint8_t* bytes, size_t count) {
    if (port == kInvalidPort) return;
    HANDLE handle = reinterpret_cast<HANDLE>(port);
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) return;
        bytes += written;
        count -= written;
    }
}

bool readPortByte(PortHandle port, uint8_t& byte, int timeoutMs) {
    if (port == kInvalidPort) return false;
    HANDLE handle = reinterpret_cast<HANDLE>(port);
    // The wait for the answer is the port's own read time-out. All-zero time-outs would mean
    // "wait forever", so a zero wait asks for an immediate return instead.
    COMMTIMEOUTS timeouts{};
    if (timeoutMs > 0) {
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
    } else {
        timeouts.ReadIntervalTimeout = MAXDWORD;
    }
    SetCommTimeouts(handle, &timeouts);
    DWORD got = 0;
    return ReadFile(handle, &byte, 1, &got, nullptr) && got == 1;
}

void closePort(PortHandle port) {
    if (port != kInvalidPort) CloseHandle(reinterpret_cast<HANDLE>(port));
}

// ---- Time --------------------------------------------------------------------------------

// The C++ steady clock (QueryPerformanceCounter underneath, without naming it here).
int64_t monotonicNanos() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

void sleepUntilNanos(int64_t deadline) {
    // The default timer makes a 5 ms sleep last about 15.6 ms; ask for 1 ms resolution once
    // (Windows drops the request when the process ends).
    static const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTimer;
    // Sleep can end a little early or late; sleeping again for what is left keeps the deadline.
    for (;;) {
        const int64_t left = deadline - monotonicNanos();
        if (left <= 0 || breakRequested()) return;
        Sleep(static_cast<DWORD>((left + 999999) / 1000000));
    }
}

// ---- Keyboard ----------------------------------------------------------------------------

// _getch already reads one key without echo or line editing: nothing to switch.
void beginKeyMode() {}
void endKeyMode() {}

bool quitKeyPressed() {
    // Virtual-key code 0x51 is Q; the high bit is set while the key is held down. Scripted runs
    // never break: the key belongs to whoever sits at the console.
    return inputIsConsole() && (GetKeyState(0x51) & 0x8000) != 0;
}

int readKey() {
    std::fflush(stdout);
    if (inputIsConsole()) return _getch();
    // Scripted input: the next byte of the script, as the POSIX side does.
    const int key = std::getchar();
    return key == EOF ? -1 : key;
}

// ---- Run break (Ctrl-C during a run) -------------------------------------------------------

std::atomic<int> breakFlag{0};

namespace {
// Runs on a thread of its own that Windows starts for the event; returning TRUE keeps the
// process alive, and the run loop sees the flag after the current instruction.
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT) return FALSE;
    breakFlag.store(1, std::memory_order_relaxed);
    return TRUE;
}
}  // namespace

void beginBreakWatch() {
    breakFlag.store(endRequested() ? 1 : 0, std::memory_order_relaxed);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void endBreakWatch() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    breakFlag.store(0, std::memory_order_relaxed);
}

// ---- Orderly end --------------------------------------------------------------------------

namespace {
std::atomic<int> endFlag{0};
std::atomic<int> endDone{0};
bool orderlyEndArmed = false;
// Windows ends the process when the handler of a close, logoff or shutdown returns, and gives it
// five seconds: the handler waits (a little less) for the main thread to finish the files.
constexpr int kEndWaitMs = 4500;

BOOL WINAPI onEndEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    endFlag.store(1, std::memory_order_relaxed);
    breakFlag.store(1, std::memory_order_relaxed);
    for (int waited = 0; waited < kEndWaitMs && endDone.load() == 0; waited += 10) Sleep(10);
    return TRUE;
}
}  // namespace

void armOrderlyEnd() {
    if (orderlyEndArmed) return;
    SetConsoleCtrlHandler(onEndEvent, TRUE);
    orderlyEndArmed = true;
}

void disarmOrderlyEnd() {
    if (!orderlyEndArmed) return;
    SetConsoleCtrlHandler(onEndEvent, FALSE);
    orderlyEndArmed = false;
}

bool endRequested() { return endFlag.load(std::memory_order_relaxed) != 0; }

void completeOrderlyEnd() {
    std::fflush(stdout);
    endDone.store(1);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace platform
