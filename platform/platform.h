#pragma once
// The thin operating-system layer: serial port, sleep and clock, keyboard and the run break.
// One POSIX and one Win32 implementation sit behind this header.
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

// ---- Console -----------------------------------------------------------------------------
// Makes standard input and output byte streams (Windows would translate line ends). POSIX: a file
// that outgrows the process's file-size limit fails its write instead of ending the program.
void initConsole();

// ---- Serial port -------------------------------------------------------------------------
using PortHandle = intptr_t;
constexpr PortHandle kInvalidPort = -1;

// Opens COM port number n, or returns kInvalidPort. POSIX: the path in VELKOR_COM<n> when set,
// else /dev/ttyS<n-1> for n >= 1. Win32: \\.\COM<n>.
PortHandle openComPort(int n);
// Writes all bytes (a short write is completed); errors are ignored.
void writePort(PortHandle port, const uint8_t* bytes, size_t count);
// Reads one byte, waiting at most timeoutMs; returns false when nothing arrived.
bool readPortByte(PortHandle port, uint8_t& byte, int timeoutMs);
void closePort(PortHandle port);

// ---- Time --------------------------------------------------------------------------------
// Monotonic clock in nanoseconds.
int64_t monotonicNanos();
// Sleeps until the monotonic clock reaches the given time.
void sleepUntilNanos(int64_t deadline);

// ---- Keyboard ----------------------------------------------------------------------------
// Puts the console into unbuffered, no-echo key mode (when it is a terminal) until endKeyMode.
void beginKeyMode();
void endKeyMode();
// True when the Q key is down (Win32) or a q/Q keystroke is pending (POSIX terminal).
// Never consumes scripted input: false when standard input is not a terminal.
bool quitKeyPressed();
// Reads one key without echo; returns -1 at the end of input.
int readKey();

// ---- Run break (Ctrl-C during a run) -------------------------------------------------------
// While watching, Ctrl-C sets the break flag instead of ending the program.
void beginBreakWatch();
void endBreakWatch();
// Set by the Ctrl-C handler (a signal handler on POSIX, a handler thread on Windows); read after
// every instruction of a run, so it is tested inline. A lock-free atomic is safe in both.
static_assert(std::atomic<int>::is_always_lock_free);
extern std::atomic<int> breakFlag;
inline bool breakRequested() { return breakFlag.load(std::memory_order_relaxed) != 0; }

// ---- Orderly end (while files must be finished) ---------------------------------------------
// While armed, what would end the program from outside asks for an orderly end instead: POSIX
// SIGTERM, SIGHUP and SIGINT outside a run; Windows the console closing, logoff, shutdown and
// Ctrl-C or Ctrl-Break outside a run. endRequested() turns true, a run in progress breaks and a
// blocked read of the console returns, so the program can finish its files and then call
// completeOrderlyEnd. Disarming restores what those events did before (a request stays noted).
void armOrderlyEnd();
void disarmOrderlyEnd();
bool endRequested();
// Ends the process as the request would have ended it without the orderly end.
[[noreturn]] void completeOrderlyEnd();

}  // namespace platform
