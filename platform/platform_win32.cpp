// Win32 implementation of the platform layer.
#include <conio.h>
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

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
    // The answer's time-out is the port's own read time-out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
    SetCommTimeouts(handle, &timeouts);
    DWORD got = 0;
    return ReadFile(handle, &byte, 1, &got, nullptr) && got == 1;
}

void closePort(PortHandle port) {
    if (port != kInvalidPort) CloseHandle(reinterpret_cast<HANDLE>(port));
}

int64_t monotonicNanos() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<int64_t>(static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency));
}

void sleepUntilNanos(int64_t deadline) {
    // The default timer makes a 5 ms sleep last about 15.6 ms; ask for 1 ms resolution once.
    static const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTimer;
    for (;;) {
        const int64_t left = deadline - monotonicNanos();
        if (left <= 0 || breakRequested()) return;
        Sleep(static_cast<DWORD>((left + 999999) / 1000000));
    }
}

void beginKeyMode() {}
void endKeyMode() {}

bool quitKeyPressed() { return (GetKeyState(0x51) & 0x8000) != 0; }

int readKey() {
    std::fflush(stdout);
    return _getch();
}

volatile std::sig_atomic_t breakFlag = 0;

namespace {
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT) return FALSE;
    breakFlag = 1;
    return TRUE;
}
}  // namespace

void beginBreakWatch() {
    breakFlag = 0;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void endBreakWatch() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    breakFlag = 0;
}

}  // namespace platform
