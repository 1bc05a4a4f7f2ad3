#include "disasm/register_display.h"

#include <cstring>
#include <string>

#include "core/memory.h"
#include "exec/step.h"

namespace {

void printRegisterLines(const Cpu& cpu, std::FILE* out) {
    std::fprintf(out,
                 "ax:%04x  bx:%04x  cx:%04x  dx:%04x  sp:%04x  bp:%04x  si:%04x  di:%04x\n"
                 "ds:%04x  es:%04x  ss:%04x  cs:%04x  ip:%04x ",
                 cpu.ax, cpu.bx, cpu.cx, cpu.dx, cpu.sp, cpu.bp, cpu.si, cpu.di, cpu.ds, cpu.es, cpu.ss, cpu.cs,
                 cpu.ip);
    // TF is not shown.
    std::fprintf(out, "%s%s%s%s%s%s%s%s", cpu.ofFlag ? " OV" : " NV", cpu.dfFlag ? " DN" : " UP",
                 cpu.ifFlag ? " EI" : " DI", cpu.sfFlag ? " NG" : " PL", cpu.zfFlag ? " ZF" : " NZ",
                 cpu.afFlag ? " AC" : " NA", cpu.pfFlag ? " PE" : " PO", cpu.cfFlag ? " CY" : " NC");
}

// Decodes the instruction at CS:IP without executing it; returns the offset after it.
uint16_t decodeNext(Cpu& cpu) {
    const uint16_t at = cpu.ip;
    const uint8_t wasDecodeOnly = cpu.decodeOnly;
    cpu.decodeOnly = 1;
    step(cpu);
    cpu.decodeOnly = wasDecodeOnly;
    const uint16_t next = cpu.ip;
    cpu.ip = at;
    return next;
}

}  // namespace

namespace {
const char kHexDigits[] = "0123456789abcdef";
}

void writeCodeBytes(const Cpu& cpu, uint32_t address, int count, char field[kCodeBytesWidth]) {
    // Code bytes from column 0, the text from column 18: bytes past the ninth are covered.
    std::memset(field, ' ', kCodeBytesWidth);
    for (int i = 0; i < count && 2 * i < kCodeBytesWidth; ++i) {
        const uint8_t byte = readByteLinear(cpu, address + static_cast<uint32_t>(i));
        field[2 * i] = kHexDigits[byte >> 4];
        field[2 * i + 1] = kHexDigits[byte & 15];
    }
}

void writeHex4(char out[4], uint16_t value) {
    for (int i = 3; i >= 0; --i, value >>= 4) out[i] = kHexDigits[value & 15];
}

int shownByteCount(uint16_t at, uint16_t next) {
    const int count = static_cast<int>(next) - static_cast<int>(at);
    if (count > 16) return 1;  // a long prefix chain: only its first byte
    return count > 0 ? count : 0;  // an instruction that wrapped past FFFF shows none
}

uint16_t showRegisters(Cpu& cpu, std::FILE* out) {
    printRegisterLines(cpu, out);
    const uint16_t at = cpu.ip;
    const uint16_t next = decodeNext(cpu);

    const uint32_t address = linearOf(cpu.cs, at);  // the breakpoint key: not reduced to 20 bits
    const auto breakpoint = cpu.BreakpointTable.find(address);
    const bool marked = breakpoint != cpu.BreakpointTable.end();
    std::fprintf(out, marked ? "\n%04x:%04x* " : "\n%04x:%04x  ", cpu.cs, at);

    char codeBytes[kCodeBytesWidth];
    writeCodeBytes(cpu, address, shownByteCount(at, next), codeBytes);
    std::string line(codeBytes, sizeof codeBytes);
    line += cpu.asmText;
    line += '\t';
    line += cpu.traceText;
    if (marked) {
        line += "\t<--bp:";
        line += breakpoint->second ? 'e' : 'd';
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
    return next;
}
