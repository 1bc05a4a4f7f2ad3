// One instruction: prefixes, dispatch, and the encodings that only have a text.
#include "exec/step.h"

#include <cstring>

#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "disasm/text.h"
#include "exec/handlers.h"

namespace {

// Applies a prefix byte; returns false when the byte is not a prefix. `word` receives the text the
// prefix shows (rep, repnz, lock), if any.
template <class M>
bool applyPrefix(Cpu& cpu, uint8_t opcode, const char*& word);

template <>
bool applyPrefix<StandardMode>(Cpu& cpu, uint8_t opcode, const char*& word) {
    word = nullptr;
    switch (opcode) {
        case 0x26: cpu.segOverride = kSegEs; return true;
        case 0x2E: cpu.segOverride = kSegCs; return true;
        case 0x36: cpu.segOverride = kSegSs; return true;
        case 0x3E: cpu.segOverride = kSegDs; return true;
        case 0x66:
        case 0x67: return true;  // operand and address size: no effect in real mode here
        case 0xF2: cpu.repnzPrefix = 1; word = "repnz"; return true;
        case 0xF3: cpu.repPrefix = 1; word = "rep"; return true;
        default: return false;
    }
}

// On the 8086 the last repeat prefix decides, and LOCK (F0 or F1) only locks the bus.
template <>
bool applyPrefix<ExactMode>(Cpu& cpu, uint8_t opcode, const char*& word) {
    switch (opcode) {
        case 0xF2: cpu.repPrefix = 0; break;
        case 0xF3: cpu.repnzPrefix = 0; break;
        case 0xF0:
        case 0xF1: word = "lock"; return true;
        default: break;
    }
    return applyPrefix<StandardMode>(cpu, opcode, word);
}

void appendText(char* text, size_t size, const char* more) {
    const size_t used = std::strlen(text);
    if (used + 1 < size) formatText(text + used, size - used, "%s", more);
}

void endStep(Cpu& cpu) { cpu.segOverride = cpu.repPrefix = cpu.repnzPrefix = 0; }

// An instruction with prefixes. A prefix applies to the one instruction after it. The chain is
// walked in a loop, not by recursion, and bounded: a guest may fill a whole segment with prefixes.
template <class M>
void walkPrefixes(Cpu& cpu, uint8_t opcode) {
    char repText[sizeof cpu.asmText];
    repText[0] = '\0';
    const char* repWord = nullptr;
    for (int prefixes = 1; applyPrefix<M>(cpu, opcode, repWord); ++prefixes) {
        if (repWord && wantsText(cpu)) {
            appendText(repText, sizeof repText, repWord);
            appendText(repText, sizeof repText, " ");
        }
        if (prefixes > kMaxPrefixBytes) {
            setText(cpu, "%s???", repText);
            return;
        }
        opcode = beginStep(cpu);
    }
    opcodeTable<M>()[opcode](cpu);
    if (repText[0] != '\0' && wantsText(cpu)) {
        char nested[sizeof cpu.asmText];
        std::memcpy(nested, cpu.asmText, sizeof nested);
        std::memcpy(cpu.asmText, repText, sizeof repText);
        appendText(cpu.asmText, sizeof cpu.asmText, nested);
    }
}

}  // namespace

template <class M>
void stepPrefixed(Cpu& cpu, uint8_t opcode) {
    walkPrefixes<M>(cpu, opcode);
    endStep(cpu);
}

template void stepPrefixed<StandardMode>(Cpu& cpu, uint8_t opcode);
template void stepPrefixed<ExactMode>(Cpu& cpu, uint8_t opcode);

void step(Cpu& cpu) {
    if (cpu.mode == CpuMode::exact) {
        stepInline<ExactMode>(cpu);
    } else {
        stepInline<StandardMode>(cpu);
    }
}

void opUndefined(Cpu& cpu) { setText(cpu, "???"); }

// The coprocessor escapes take one byte; the ModR/M byte after them is decoded as the next opcode.
void opEscape(Cpu& cpu) { setText(cpu, "esc%02x", cpu.codeByte - 0xD8); }

// On the 8086 an escape takes its ModR/M operand (and reads a memory operand for the coprocessor)
// and does nothing else. The text shows the escape's six-bit number (opcode bits 2-0, reg field).
void opEscape8086(Cpu& cpu) {
    const unsigned high = cpu.codeByte & 7u;
    decodeRmWord<ExactMode>(cpu);
    formatOperands16(cpu);
    setText(cpu, "esc\t%02x,%s", high << 3 | cpu.regField, cpu.rmText);
}

// LOCK is not a prefix here: it is a one-byte instruction of its own.
void opLock(Cpu& cpu) { setText(cpu, "lock"); }

void opIcebp(Cpu& cpu) { setText(cpu, "icebp"); }

template <class M>
void opExtendedPage(Cpu& cpu) {
    const uint8_t second = fetchByte(cpu);
    cpu.codeByte = second;
    if (second >= 0x80 && second <= 0x8F) {
        extendedTable<M>()[second - 0x80](cpu);
    } else {
        setText(cpu, "ext");
    }
}

VELKOR_FOR_BOTH_MODES(opExtendedPage)
