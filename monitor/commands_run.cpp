// Execution control (t, g, p, x), breakpoints (bc, bd, be, bp) and history (h, hw).
#include <cstdio>

#include "core/cpu.h"
#include "core/memory.h"
#include "disasm/register_display.h"
#include "exec/run.h"
#include "exec/step.h"
#include "monitor/monitor.h"
#include "monitor/parse_hex.h"
#include "platform/platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

uint32_t currentAddress(const Cpu& cpu) { return linearOf(cpu.cs, cpu.ip); }

bool enabledBreakpointAt(const Cpu& cpu, uint32_t address) {
    if (cpu.BreakpointTable.empty()) return false;
    const auto entry = cpu.BreakpointTable.find(address);
    return entry != cpu.BreakpointTable.end() && entry->second != 0;
}

// The stop address of g and x: none given is linear FFFF; fewer than five digits are an offset in CS.
uint32_t stopAddress(const Cpu& cpu, const char* line) {
    if (line[0] == '\0' || line[1] == '\0') return 0xFFFF;
    const HexValue parsed = parseHex(cpu, line + 1);
    return parsed.digitCount >= 5 ? parsed.value : linearOf(cpu.cs, parsed.value);
}

uint32_t breakpointAddress(const Cpu& cpu, const char* text) {
    return linearOf(cpu.cs, parseHex(cpu, text).value & 0xFFFF);
}

bool historyFull(const Cpu& cpu) {
    if (cpu.IpHistory.size() <= kHistoryLimit) return false;
    std::printf("ip history 32000. break\n");
    return true;
}

bool breakKeyed() {
    if (!platform::breakRequested()) return false;
    std::printf("break!\n");
    return true;
}

// Ctrl-C stops a run after the current instruction instead of ending the program.
struct BreakWatch {
    BreakWatch() { platform::beginBreakWatch(); }
    ~BreakWatch() { platform::endBreakWatch(); }
};

}  // namespace

void Monitor::trace() {
    {
        BreakWatch watch;
        step(cpu_);
        breakKeyed();
    }
    state.unassembleOffset = showRegisters(cpu_, stdout);
}

void Monitor::go(const char* line) {
    cpu_.IpHistory.clear();
    const RunStops stops{stopAddress(cpu_, line), state.historyMode != HistoryMode::off, stepLimit};
    cpu_.stopRequested = 0;
    RunEnd end;
    {
        BreakWatch watch;
        end = runUntil(cpu_, stops);
    }
    if (end == RunEnd::historyFull) std::printf("ip history 32000. break\n");
    if (end == RunEnd::breakKey) std::printf("break!\n");
    state.unassembleOffset = cpu_.ip;
    showRegisters(cpu_, stdout);
}

void Monitor::proceed() {
    cpu_.IpHistory.clear();
    // The end of the current instruction: where a call returns to.
    const uint16_t at = cpu_.ip;
    cpu_.decodeOnly = 1;
    step(cpu_);
    cpu_.decodeOnly = 0;
    const uint16_t target = cpu_.ip;
    cpu_.ip = at;
    cpu_.stopRequested = 0;
    {
        BreakWatch watch;
        for (uint64_t steps = 0;; ++steps) {
            if (steps != 0 && (cpu_.stopRequested || historyFull(cpu_) || breakKeyed() || steps == stepLimit)) break;
            cpu_.IpHistory.push_back(cpu_.ip);
            step(cpu_);
            if (cpu_.ip == target) break;
        }
    }
    state.unassembleOffset = cpu_.ip;
    showRegisters(cpu_, stdout);
}

void Monitor::execute(const char* line) {
    const uint32_t stop = stopAddress(cpu_, line);
    cpu_.stopRequested = 0;
    std::FILE* trace = state.historyMode != HistoryMode::off ? std::fopen("history.txt", "ab") : nullptr;
    const bool simpleTrace = trace && state.historyMode == HistoryMode::simple;
    const uint8_t textWas = cpu_.textWanted;
    if (simpleTrace) cpu_.textWanted = 1;  // each executed instruction's text goes to the trace
    platform::beginKeyMode();
    {
        BreakWatch watch;
        for (uint64_t steps = 1;; ++steps) {
            const uint16_t cs = cpu_.cs;
            const uint16_t ip = cpu_.ip;
            step(cpu_);
            if (simpleTrace) {
                std::fprintf(trace, "%04x:%04x  %s\t%s\n", cs, ip, cpu_.asmText, cpu_.traceText);
            } else if (trace) {
                showRegisters(cpu_, trace);
            }
            const uint32_t address = currentAddress(cpu_);
            if (address == stop || cpu_.stopRequested || enabledBreakpointAt(cpu_, address)) break;
            if (platform::quitKeyPressed()) {
                std::printf("break!\n");
                platform::readKey();
                break;
            }
            if (breakKeyed() || steps == stepLimit) break;
        }
    }
    platform::endKeyMode();
    cpu_.textWanted = textWas;
    if (trace) std::fclose(trace);
    state.unassembleOffset = cpu_.ip;
    showRegisters(cpu_, stdout);
}

void Monitor::breakpointCommand(const char* line) {
    auto& table = cpu_.BreakpointTable;
    switch (line[1]) {
        case 'c':
            table.clear();
            std::printf("clear all break points!\n");
            return;
        case 'e':
        case 'd': {
            const uint8_t enabled = line[1] == 'e';
            if (line[2] == '\0') {
                for (auto& entry : table) entry.second = enabled;
                return;
            }
            const uint32_t address = breakpointAddress(cpu_, line + 2);
            const auto entry = table.find(address);
            if (entry == table.end()) {
                std::printf("not found -> %05x\n", address);
                return;
            }
            entry->second = enabled;
            std::printf(enabled ? "set enable -> %05x\n" : "set disable -> %05x\n", address);
            return;
        }
        case 'p':
            if (line[2] == '\0') {
                listBreakpoints();
            } else if (isBlank(line[2])) {
                toggleBreakpoint(line + 3);
            }
            return;
        default:
            return;
    }
}

void Monitor::listBreakpoints() {
    const auto& table = cpu_.BreakpointTable;
    std::printf(table.empty() ? "no break point!\n" : table.size() == 1 ? "break point\n" : "break points\n");
    for (const auto& [address, enabled] : table) {
        std::printf("  %05x <%s>\n", address, enabled ? "enable" : "disable");
    }
}

void Monitor::toggleBreakpoint(const char* text) {
    const uint16_t offset = static_cast<uint16_t>(parseHex(cpu_, text).value);
    const uint32_t address = linearOf(cpu_.cs, offset);
    if (cpu_.BreakpointTable.erase(address) != 0) {
        std::printf("clear break point -> %04x:%04x\n", cpu_.cs, offset);
    } else {
        cpu_.BreakpointTable[address] = 1;
        std::printf("set break point -> %04x:%04x\n", cpu_.cs, offset);
    }
}

void Monitor::cycleHistoryMode() {
    switch (state.historyMode) {
        case HistoryMode::off:
            state.historyMode = HistoryMode::simple;
            std::printf("history on(simple)\n");
            break;
        case HistoryMode::simple:
            state.historyMode = HistoryMode::full;
            std::printf("history on(full)\n");
            break;
        case HistoryMode::full:
            state.historyMode = HistoryMode::off;
            std::printf("history off\n");
            break;
    }
}

void Monitor::writeHistory() {
    std::printf("write history..");
    std::FILE* file = std::fopen("history.txt", "ab");
    if (!file) {
        // Keep the history so that the user can retry somewhere writable.
        std::printf("file open error.\n");
        return;
    }
    std::fprintf(file, "writing..\n");
    for (uint16_t ip : cpu_.IpHistory) std::fprintf(file, "%04x\n", ip);
    std::fclose(file);
    std::printf("%zu\n", cpu_.IpHistory.size());
    cpu_.IpHistory.clear();
}
