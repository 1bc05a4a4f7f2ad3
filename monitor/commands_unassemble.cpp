// u: eight instructions from CS:offset, each with its code bytes and text.
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/cpu.h"
#include "core/memory.h"
#include "disasm/register_display.h"
#include "exec/step.h"
#include "monitor/monitor.h"
#include "monitor/parse_hex.h"

namespace {

constexpr int kListedInstructions = 8;
constexpr size_t kFieldWidth = 58;
constexpr size_t kTextColumn = 18;
constexpr size_t kMarkColumn = 32;

// Decodes the instruction at CS:offset into asmText without executing it; returns the offset after it.
uint16_t decodeAt(Cpu& cpu, uint16_t offset) {
    cpu.ip = offset;
    cpu.decodeOnly = 1;
    step(cpu);
    cpu.decodeOnly = 0;
    return cpu.ip;
}

void overwriteAt(std::string& field, size_t column, const std::string& text) {
    // Whatever would run past the field's end is cut.
    if (column >= kFieldWidth) return;
    const size_t length = std::min(text.size(), kFieldWidth - column);
    field.replace(column, length, text, 0, length);
}

// The listing line after the address column: code bytes from column 0, the text from column 18,
// and for a breakpoint the mark at column 32 (the line then ends with the mark unless the text
// covers its line break).
std::string unassembledField(const Cpu& cpu, uint32_t address, int byteCount, const char* breakpointMark) {
    std::string field(kFieldWidth, ' ');
    field += '\n';
    if (breakpointMark) overwriteAt(field, kMarkColumn, breakpointMark);
    overwriteAt(field, 0, codeBytesField(cpu, address, byteCount));
    overwriteAt(field, kTextColumn, cpu.asmText);
    return field.substr(0, field.find('\n') + 1);
}

// The mark for a breakpoint entry at address (e enabled, d disabled), or nullptr without one.
const char* breakpointMark(const Cpu& cpu, uint32_t address) {
    const auto entry = cpu.BreakpointTable.find(address);
    if (entry == cpu.BreakpointTable.end()) return nullptr;
    return entry->second ? "          <--bp:e\n" : "          <--bp:d\n";
}

}  // namespace

void Monitor::unassemble(const char* line) {
    if (line[1] != '\0') state.unassembleOffset = static_cast<uint16_t>(parseHex(cpu_, line + 1).value);
    const uint16_t savedIp = cpu_.ip;
    uint16_t at = state.unassembleOffset;
    for (int i = 0; i < kListedInstructions; ++i) {
        const uint16_t next = decodeAt(cpu_, at);
        const uint32_t address = linearOf(cpu_.cs, at);  // the breakpoint key: not reduced to 20 bits
        const char* mark = breakpointMark(cpu_, address);
        std::printf(mark ? "%04x:%04x* " : "%04x:%04x  ", cpu_.cs, at);
        const std::string field = unassembledField(cpu_, address, shownByteCount(at, next), mark);
        std::fwrite(field.data(), 1, field.size(), stdout);
        at = next;
    }
    state.unassembleOffset = at;
    cpu_.ip = savedIp;
}
