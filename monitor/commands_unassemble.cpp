// u: eight instructions from CS:offset, each with its code bytes and text.
#include <algorithm>
#include <cstdio>
#include <cstring>

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
constexpr size_t kAddressWidth = 11;  // "ssss:oooo" and two columns for the breakpoint asterisk

// Decodes the instruction at CS:offset into asmText without executing it; returns the offset after it.
uint16_t decodeAt(Cpu& cpu, uint16_t offset) {
    cpu.ip = offset;
    cpu.decodeOnly = 1;
    step(cpu);
    cpu.decodeOnly = 0;
    return cpu.ip;
}

// One listing line: the address column, then a 58-column field with the code bytes from column 0,
// the text from column 18 (cut at the field's end) and, for a breakpoint, the mark at column 32.
// The line ends at the field's first line break: the mark's own, unless the text covered it.
size_t buildLine(const Cpu& cpu, uint16_t at, int byteCount, const char* mark, char* line) {
    writeHex4(line, cpu.cs);
    line[4] = ':';
    writeHex4(line + 5, at);
    line[9] = mark ? '*' : ' ';
    line[10] = ' ';
    char* field = line + kAddressWidth;
    std::memset(field, ' ', kFieldWidth);
    field[kFieldWidth] = '\n';
    if (mark) std::memcpy(field + kMarkColumn, mark, std::strlen(mark));
    writeCodeBytes(cpu, linearOf(cpu.cs, at), byteCount, field);
    const size_t textLength = std::min(std::strlen(cpu.asmText), kFieldWidth - kTextColumn);
    std::memcpy(field + kTextColumn, cpu.asmText, textLength);
    const char* end = static_cast<const char*>(std::memchr(field, '\n', kFieldWidth + 1));
    return static_cast<size_t>(end + 1 - line);
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
        char line[kAddressWidth + kFieldWidth + 1];
        const size_t length = buildLine(cpu_, at, shownByteCount(at, next), breakpointMark(cpu_, address), line);
        std::fwrite(line, 1, length, stdout);
        at = next;
    }
    state.unassembleOffset = at;
    cpu_.ip = savedIp;
}
