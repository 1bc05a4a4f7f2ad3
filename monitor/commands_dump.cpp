// d: the memory listing, sixteen bytes a line in hex and as characters.
#include <cstdio>

#include "core/cpu.h"
#include "core/memory.h"
#include "monitor/monitor.h"
#include "monitor/parse_hex.h"

namespace {

constexpr int kDumpLines = 8;
constexpr int kBytesPerLine = 16;

// Control characters would disturb the console; every other byte goes out as it is.
void printDumpCharacter(uint8_t byte) { std::putchar(byte < 0x20 ? '.' : byte); }

void printDumpLine(const Cpu& cpu, uint16_t segment, uint16_t offset, uint32_t address) {
    std::printf("%04x:%04x ", segment, offset);
    for (int i = 0; i < kBytesPerLine; ++i) {
        // A dash after the eighth byte splits the line in halves.
        std::printf(i == 7 ? "%02x-" : "%02x ", readByteLinear(cpu, address + static_cast<uint32_t>(i)));
    }
    for (int i = 0; i < kBytesPerLine; ++i) printDumpCharacter(readByteLinear(cpu, address + static_cast<uint32_t>(i)));
    std::putchar('\n');
}

}  // namespace

void Monitor::dump(const char* line) {
    // With an argument the listing starts there; without one it continues where the last stopped.
    if (line[1] != '\0') {
        state.dumpSegment = cpu_.ds;
        const HexValue start = parseHexSegmented(cpu_, line + 2, state.dumpSegment);
        state.dumpOffset = static_cast<uint16_t>(start.value);
        state.dumpAddress = linearOf(state.dumpSegment, state.dumpOffset);
    }
    for (int i = 0; i < kDumpLines; ++i) {
        printDumpLine(cpu_, state.dumpSegment, state.dumpOffset, state.dumpAddress);
        // The shown offset wraps within the segment; the address goes on counting.
        state.dumpOffset = static_cast<uint16_t>(state.dumpOffset + kBytesPerLine);
        state.dumpAddress += kBytesPerLine;
    }
}
