#pragma once
// The debugging monitor: the command loop, the per-line interpreter and the command groups.
#include <cstdint>
#include <cstdio>
#include <memory>

#include "monitor/monitor_state.h"

class RegisterCapture;
struct Cpu;
struct OpnaBoard;
struct SerialLink;
struct TickHook;

constexpr size_t kLineBufferSize = 64 * 1024;

// Shows the prompt and reads one line from standard input into buffer (at most size - 1 characters
// are kept; the rest of a longer line is dropped). The newline is not stored. Returns false at the
// end of input when no character was read. At a terminal the line editor reads it.
bool readCommandLine(const char* prompt, char* buffer, size_t size);

class Monitor {
public:
    Monitor(Cpu& cpu, OpnaBoard& board, SerialLink& link, TickHook& tick, RegisterCapture& capture);

    // Prompts, reads and runs lines until q, the end of input or a request to end the program
    // (platform::endRequested(), which leaves finishing the capture to the caller).
    void commandLoop();
    // Runs one command line; returns true when it was q.
    bool interpretLine(char* line);

    MonitorState state;
    // At most this many instructions per g, p or x (0: no limit). Only a harness that feeds the
    // monitor arbitrary lines sets it, so that a run always ends.
    uint64_t stepLimit = 0;

private:
    // Execution control, breakpoints and history.
    void showHelp();
    void trace();
    void go(const char* line);
    void proceed();
    void execute(const char* line);
    void breakpointCommand(const char* line);
    void listBreakpoints();
    void toggleBreakpoint(const char* text);
    void cycleHistoryMode();
    void writeHistory();

    // Memory, registers and image files.
    void dump(const char* line);
    void enter(const char* line);
    void fill(const char* line);
    void move(const char* line);
    void unassemble(const char* line);
    void registers(const char* line);
    void setName(const char* line);
    void load(const char* line);
    void write(const char* line);
    void setFileSize(const char* line);

    // Coverage, port log, display and sound hardware switches.
    void coverageCommand(const char* line);
    void toggleIoLog();
    void toggleDisplay();
    void setWait(const char* line);
    void toggleWaitLoopCancel();
    void fmExtMode();
    void fmReset();

    // The register capture (v).
    void captureCommand(const char* line);
    void startCapture(const char* name, const char* tickText);

    Cpu& cpu_;
    OpnaBoard& board_;
    SerialLink& link_;
    TickHook& tick_;
    RegisterCapture& capture_;
    std::unique_ptr<char[]> lineBuffer_;
};
