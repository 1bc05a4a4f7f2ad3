// One instruction: prefixes, dispatch, and the encodings that only have a text.
#include "exec/step.h"

#include <cstring>

#include "core/memory.h"
#include "disasm/text.h"
#include "exec/handlers.h"

namespace {

// Applies a prefix byte; returns false when the byte is not a prefix.
bool applyPrefix(Cpu& cpu, uint8_t opcode, const char*& repWord) {
    repWord = nullptr;
    switch (opcode) {
        case 0x26: cpu.segOverride = kSegEs; return true;
        case 0x2E: cpu.segOverride = kSegCs; return true;
        case 0x36: cpu.segOverride = kSegSs; return true;
        case 0x3E: cpu.segOverride = kSegDs; return true;
        case 0x66:
        case 0x67: return true;  // operand and address size: no effect in real mode here
        case 0xF2: cpu.repnzPrefix = 1; repWord = "repnz"; return true;
        case 0xF3: cpu.repPrefix = 1; repWord = "rep"; return true;
        default: return false;
    }
}

void appendText(char* text, size_t size, const char* more) {
    const size_t used = std::strlen(text);
    if (used + 1 < size) formatText(text + used, size - used, "%s", more);
}

void endStep(Cpu& cpu) { cpu.segOverride = cpu.repPrefix = cpu.repnzPrefix = 0; }

// An instruction with prefixes. A prefix applies to the one instruction after it. The chain is
// walked in a loop, not by recursion, and bounded: a guest may fill a whole segment with prefixes.
void walkPrefixes(Cpu& cpu, uint8_t opcode) {
    char repText[sizeof cpu.asmText];
    repText[0] = '\0';
    const char* repWord = nullptr;
    for (int prefixes = 1; applyPrefix(cpu, opcode, repWord); ++prefixes) {
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
    kOpcodeTable[opcode](cpu);
    if (repText[0] != '\0' && wantsText(cpu)) {
        char nested[sizeof cpu.asmText];
        std::memcpy(nested, cpu.asmText, sizeof nested);
        std::memcpy(cpu.asmText, repText, sizeof repText);
        appendText(cpu.asmText, sizeof cpu.asmText, nested);
    }
}

}  // namespace

void stepPrefixed(Cpu& cpu, uint8_t opcode) {
    walkPrefixes(cpu, opcode);
    endStep(cpu);
}

void step(Cpu& cpu) { stepInline(cpu); }

void opUndefined(Cpu& cpu) { setText(cpu, "???"); }

// The coprocessor escapes take one byte; the ModR/M byte after them is decoded as the next opcode.
void opEscape(Cpu& cpu) { setText(cpu, "esc%02x", cpu.codeByte - 0xD8); }

// LOCK is not a prefix here: it is a one-byte instruction of its own.
void opLock(Cpu& cpu) { setText(cpu, "lock"); }

void opIcebp(Cpu& cpu) { setText(cpu, "icebp"); }

void opExtendedPage(Cpu& cpu) {
    const uint8_t second = fetchByte(cpu);
    cpu.codeByte = second;
    if (second >= 0x80 && second <= 0x8F) {
        kExtendedTable[second - 0x80](cpu);
    } else {
        setText(cpu, "ext");
    }
}
