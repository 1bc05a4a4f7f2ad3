#include "monitor/parse_hex.h"

#include <cstring>

#include "core/cpu.h"

namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The register a name ends in, given the letter before the current one; nullptr when none.
const uint16_t* registerNamed(const Cpu& cpu, char previous, char current) {
    switch (current) {
        case 'x':
            if (previous == 'a') return &cpu.ax;
            if (previous == 'b') return &cpu.bx;
            if (previous == 'c') return &cpu.cx;
            if (previous == 'd') return &cpu.dx;
            return nullptr;
        case 'p':
            if (previous == 'b') return &cpu.bp;
            if (previous == 'i') return &cpu.ip;
            if (previous == 's') return &cpu.sp;
            return nullptr;
        case 'i':
            if (previous == 'd') return &cpu.di;
            if (previous == 's') return &cpu.si;
            return nullptr;
        case 's':
            if (previous == 'c') return &cpu.cs;
            if (previous == 'd') return &cpu.ds;
            if (previous == 'e') return &cpu.es;
            if (previous == 's') return &cpu.ss;
            return nullptr;
        default:
            return nullptr;
    }
}

HexValue parse(const Cpu& cpu, const char* text, uint16_t* segment) {
    HexValue out;
    char previous = 0;
    for (const char* p = text;; ++p) {
        const char c = *p;
        if (c == '\0' || c == '\n' || c == '\r') break;
        if (c == ' ' || c == '\t') {
            if (out.digitCount == 0) continue;
            break;
        }
        const int digit = hexDigitValue(c);
        if (digit >= 0) {
            out.value = out.value * 16 + static_cast<uint32_t>(digit);
            ++out.digitCount;
            if (c > '9') previous = c;
            continue;
        }
        if (c == 'x' || c == 'p' || c == 'i' || c == 's') {
            if (const uint16_t* reg = registerNamed(cpu, previous, c)) {
                out.value = *reg;
                break;
            }
            if (c == 'x' || c == 'p') {
                out.ok = false;
                break;
            }
            previous = c;  // 'i' and 's' may begin a name
            continue;
        }
        if (c == ':' && segment) {
            *segment = static_cast<uint16_t>(out.value);
            out.value = 0;
            continue;
        }
        out.ok = false;
        if (out.digitCount != 0) break;
    }
    return out;
}

}  // namespace

HexValue parseHex(const Cpu& cpu, const char* text) { return parse(cpu, text, nullptr); }

HexValue parseHexSegmented(const Cpu& cpu, const char* text, uint16_t& segment) {
    return parse(cpu, text, &segment);
}

bool parseChainedTriple(const Cpu& cpu, const char* line, uint32_t values[3]) {
    const size_t length = std::strlen(line);
    size_t start = 2;
    for (int i = 0; i < 3; ++i) {
        // A start at or past the terminator means the argument is missing.
        if (start >= length) return false;
        const HexValue parsed = parseHex(cpu, line + start);
        if (!parsed.ok) return false;
        values[i] = parsed.value;
        start += parsed.digitCount + 1u;
    }
    return true;
}
