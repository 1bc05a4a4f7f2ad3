// Coverage (c, cc, cs, co), the port log (io), the register-write echo (display), the tick length
// (wait), the wait-loop cancel (wc) and the sound hardware (fe, fr).
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "core/cpu.h"
#include "host/opna_board.h"
#include "host/serial_link.h"
#include "host/tick_hook.h"
#include "monitor/monitor.h"

namespace {

// "coverage.txt": the code offsets as four hex digits, then the data addresses as eight.
bool saveCoverage(const Cpu& cpu) {
    std::FILE* file = std::fopen("coverage.txt", "wb");
    if (!file) return false;
    cpu.CodeCoverage.forEach([file](uint16_t offset) { std::fprintf(file, "%04x\n", offset); });
    cpu.DataCoverage.forEach([file](uint32_t address) { std::fprintf(file, "%08x\n", address); });
    std::fclose(file);
    return true;
}

}  // namespace

void Monitor::coverageCommand(const char* line) {
    switch (line[1]) {
        case 'c':
            cpu_.CodeCoverage.clear();
            cpu_.DataCoverage.clear();
            std::printf("clear coverage.\n");
            return;
        case 's':
            std::printf("code coverage %zuentry.\ndata coverage %zuentry.\n", cpu_.CodeCoverage.size(),
                        cpu_.DataCoverage.size());
            return;
        case 'o':
            std::printf("writing..");
            std::printf(saveCoverage(cpu_) ? "done.\n" : "file open error.\n");
            return;
        default:
            cpu_.coverageOn = !cpu_.coverageOn;
            std::printf(cpu_.coverageOn ? "set coverage on.\n" : "set coverage off.\n");
            return;
    }
}

void Monitor::toggleIoLog() {
    board_.setIoLog(!board_.ioLog);
    std::printf(board_.ioLog ? "io write enable.\n" : "io write disable.\n");
}

void Monitor::toggleDisplay() {
    board_.display86io = !board_.display86io;
    std::printf(board_.display86io ? "enable display 86io\n" : "disable display 86io\n");
}

void Monitor::setWait(const char* line) {
    // Decimal, strtol-style; a negative tick makes no sense and is taken as 0.
    const long long value = std::strtoll(line + 4, nullptr, 10);
    tick_.waitMs = value < 0 ? 0 : value > INT_MAX ? INT_MAX : static_cast<int>(value);
    std::printf("set wait %d msec.\n", tick_.waitMs);
}

void Monitor::toggleWaitLoopCancel() {
    cpu_.waitLoopCancel = !cpu_.waitLoopCancel;
    std::printf(cpu_.waitLoopCancel ? "wait loop cancel.\n" : "wait loop not cancel.\n");
}

void Monitor::fmExtMode() {
    // Straight to the chip: not logged, not echoed, not in the register image.
    link_.writeRegisterA0(0x29, 0x80);
    std::printf("fm set ext mode!\n");
}

void Monitor::fmReset() {
    link_.resetHandshake();
    board_.deviceReset();
    std::printf("fm reset!\n");
}
