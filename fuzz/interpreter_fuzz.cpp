// The monitor's command interpreter on arbitrary command lines. Each input is a session of its
// own: a fresh machine in the start-up state, a fresh monitor, and lines cut from the input at
// newlines, prepared the way the command loop prepares what it reads (a NUL ends the line, empty
// lines and lines starting with CR are skipped, the first CR after the first blank cuts the line)
// and handed to interpretLine until one of them is q.
//
// So that every input ends quickly and leaves nothing behind:
//   - the guest runs at most kStepsPerRun instructions per g, p or x (the monitor's stepLimit);
//   - the tick is reset to 0 ms before every line, so no guest WAIT sleeps;
//   - standard input is /dev/null, so r's value prompt and e's editor see the end of input at once;
//   - the files the commands write live in a private scratch directory (the working directory while
//     a session runs) that is emptied after each input, and a '/' in the line of a file-name command (n, l, w, v) is replaced by '_', so that no
//     made-up name reaches outside that directory.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/cpu.h"
#include "host/opna_board.h"
#include "host/register_capture.h"
#include "host/serial_link.h"
#include "host/tick_hook.h"
#include "monitor/monitor.h"

namespace {

// The instructions themselves are step_fuzz's subject; a run here only has to reach the run loops'
// exits (stop address, breakpoints, stop requests, history), and longer runs would mostly repeat a
// fuzzed program's loops and slow every input.
constexpr uint64_t kStepsPerRun = 100;

// A machine as a new Cpu has it, then in the start-up state. The Cpu object itself is reused: a new
// one per input would spend most of the run allocating and faulting in its image and coverage
// tables. Every member is set here, so nothing of one input reaches the next.
void startFresh(Cpu& c) {
    resetCpu(c);  // image, vectors, registers, OF DF SF ZF CF IF, prefixes, stop request, history
    c.tfFlag = c.afFlag = c.pfFlag = 0;
    std::memset(c.savedFlags, 0, sizeof c.savedFlags);
    c.codeByte = c.modField = c.rmField = c.regField = c.imm8 = 0;
    c.imm16 = c.farSegment = 0;
    c.linear = c.srcLinear = c.dstLinear = c.srcBase = c.dstBase = 0;
    c.rmValue = c.regValue = c.result = c.eaOffset = c.eaLinear = 0;
    c.ptrText = c.segText = "";
    std::memset(c.asmText, 0, sizeof c.asmText);
    std::memset(c.rmText, 0, sizeof c.rmText);
    std::memset(c.regText, 0, sizeof c.regText);
    std::memset(c.traceText, 0, sizeof c.traceText);
    c.waitLoopCancel = c.decodeOnly = 0;
    c.textWanted = 0;  // as the program starts
    c.BreakpointTable.clear();
    c.coverageOn = 0;
    // Clearing an empty set still walks all of it.
    if (!c.CodeCoverage.empty()) c.CodeCoverage.clear();
    if (!c.DataCoverage.empty()) c.DataCoverage.clear();
    c.cs = c.ds = c.es = c.ss = 0;
    c.ip = 0x0100;
    c.sp = 0xFFF8;
}

// Everything one session owns: a new board, link, tick and monitor around the reused machine.
struct Session {
    SerialLink link;
    OpnaBoard board{link};
    TickHook tick;
    RegisterCapture capture;
    Cpu& cpu;
    Monitor monitor{cpu, board, link, tick, capture};

    explicit Session(Cpu& machine) : cpu(machine) {
        link.capture = &capture;
        tick.capture = &capture;
        startFresh(cpu);
        cpu.board = &board;
        cpu.tick = &tick;
        monitor.stepLimit = kStepsPerRun;
    }
};

// The command loop's cut: after the command word's first blank, the first CR ends the line.
void cutAtCarriageReturn(char* line) {
    if (char* blank = std::strpbrk(line + 1, " \t")) {
        if (char* cr = std::strchr(blank + 1, '\r')) *cr = '\0';
    }
}

// n, l, w and v take a file name from the rest of the line; keep it inside the scratch directory.
void keepNamesLocal(char* line) {
    if (line[0] != 'n' && line[0] != 'l' && line[0] != 'w' && line[0] != 'v') return;
    for (char* c = line; *c != '\0'; ++c) {
        if (*c == '/') *c = '_';
    }
}

void removeScratchFiles() {
    DIR* dir = opendir(".");
    if (!dir) std::abort();
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) unlink(entry->d_name);
    }
    closedir(dir);
}

// Runs one line; returns true when the session ends (q).
bool runLine(Session& session, const char* begin, size_t length) {
    length = std::min<size_t>(length, kLineBufferSize - 1);
    length = strnlen(begin, length);  // a NUL ends the line
    if (length == 0 || begin[0] == '\r') return false;
    // Exactly the line's size, so that reading past its end is caught.
    auto line = std::make_unique<char[]>(length + 1);
    std::memcpy(line.get(), begin, length);
    line[length] = '\0';
    cutAtCarriageReturn(line.get());
    keepNamesLocal(line.get());
    session.tick.waitMs = 0;
    return session.monitor.interpretLine(line.get());
}

// The fuzzer's own directory (where it keeps the corpus and writes findings) and the scratch one.
int homeDirectory = -1;
int scratchDirectory = -1;
Cpu* machine = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
    static char scratch[] = "/tmp/velkor-interpreter-fuzz-XXXXXX";
    if (!mkdtemp(scratch)) std::abort();
    // Emptied after every input, so only the directory itself is left to remove.
    std::atexit([] { rmdir(scratch); });
    homeDirectory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    scratchDirectory = open(scratch, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (homeDirectory < 0 || scratchDirectory < 0) std::abort();
    machine = new Cpu;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    // Only while the session runs: the fuzzer's relative corpus paths must still resolve. A crash
    // inside a session writes its reproducer into the scratch directory unless -artifact_prefix is
    // an absolute path (fuzz/run.sh gives one).
    if (fchdir(scratchDirectory) != 0) std::abort();
    {
        auto session = std::make_unique<Session>(*machine);
        size_t start = 0;
        while (start < size) {
            const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
            const size_t end = newline ? static_cast<size_t>(newline - text) : size;
            if (runLine(*session, text + start, end - start)) break;
            start = end + 1;
        }
    }
    removeScratchFiles();
    if (fchdir(homeDirectory) != 0) std::abort();
    return 0;
}
