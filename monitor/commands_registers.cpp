// r: show all registers, or set one by name (from the line or from a prompted reply).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cpu.h"
#include "disasm/register_display.h"
#include "monitor/monitor.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

const char* skipBlanks(const char* text) {
    while (isBlank(*text)) ++text;
    return text;
}

const char* pastWord(const char* word) {
    while (*word != '\0' && !isBlank(*word)) ++word;
    return word;
}

enum class Part : uint8_t { word, low, high };

struct RegisterName {
    const char* name;
    uint16_t Cpu::*reg;
    Part part;
};

constexpr RegisterName kRegisterNames[] = {
    {"ax", &Cpu::ax, Part::word}, {"cx", &Cpu::cx, Part::word}, {"dx", &Cpu::dx, Part::word},
    {"bx", &Cpu::bx, Part::word}, {"sp", &Cpu::sp, Part::word}, {"bp", &Cpu::bp, Part::word},
    {"si", &Cpu::si, Part::word}, {"di", &Cpu::di, Part::word}, {"al", &Cpu::ax, Part::low},
    {"ah", &Cpu::ax, Part::high}, {"cl", &Cpu::cx, Part::low},  {"ch", &Cpu::cx, Part::high},
    {"dl", &Cpu::dx, Part::low},  {"dh", &Cpu::dx, Part::high}, {"bl", &Cpu::bx, Part::low},
    {"bh", &Cpu::bx, Part::high}, {"ip", &Cpu::ip, Part::word}, {"cs", &Cpu::cs, Part::word},
    {"ds", &Cpu::ds, Part::word}, {"es", &Cpu::es, Part::word}, {"ss", &Cpu::ss, Part::word},
};

// The register a whole word names exactly, or nullptr.
const RegisterName* findRegister(const char* word, size_t length) {
    for (const RegisterName& entry : kRegisterNames) {
        if (std::strlen(entry.name) == length && std::strncmp(entry.name, word, length) == 0) return &entry;
    }
    return nullptr;
}

uint16_t readRegister(const Cpu& cpu, const RegisterName& r) {
    const uint16_t whole = cpu.*r.reg;
    switch (r.part) {
        case Part::low:
            return whole & 0xFF;
        case Part::high:
            return whole >> 8;
        default:
            return whole;
    }
}

void writeRegister(Cpu& cpu, const RegisterName& r, unsigned long value) {
    uint16_t& whole = cpu.*r.reg;
    const uint8_t byte = static_cast<uint8_t>(value);
    switch (r.part) {
        case Part::low:
            whole = static_cast<uint16_t>((whole & 0xFF00) | byte);
            break;
        case Part::high:
            whole = static_cast<uint16_t>((whole & 0x00FF) | (byte << 8));
            break;
        default:
            whole = static_cast<uint16_t>(value);
            break;
    }
}

// A typed value: hex with an optional sign and 0x, up to the first other character; no digits
// give 0. Register names are not values here.
unsigned long typedValue(const char* text) { return static_cast<unsigned long>(std::strtoll(text, nullptr, 16)); }

}  // namespace

void Monitor::registers(const char* line) {
    const char* name = skipBlanks(line + 1);
    if (*name == '\0') {
        state.unassembleOffset = showRegisters(cpu_, stdout);
        return;
    }
    const char* nameEnd = pastWord(name);
    const RegisterName* reg = findRegister(name, static_cast<size_t>(nameEnd - name));
    if (!reg) {
        std::printf("?\n");
        return;
    }
    const char* value = skipBlanks(nameEnd);
    if (*value != '\0') {
        writeRegister(cpu_, *reg, typedValue(value));
        return;
    }
    // The reply replaces the command line in the line buffer; the end of input counts as empty.
    char prompt[8];
    std::snprintf(prompt, sizeof prompt, "%04x:", readRegister(cpu_, *reg));
    char* reply = lineBuffer_.get();
    readCommandLine(prompt, reply, kLineBufferSize);
    writeRegister(cpu_, *reg, typedValue(reply));
}
