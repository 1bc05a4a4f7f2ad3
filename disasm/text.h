#pragma once
// Instruction-text conventions: lower-case mnemonic, a tab, comma-separated operands, lower-case
// hexadecimal without prefix. Texts are formatted only when someone will read them.
#include <cstdarg>
#include <cstdio>

#include "core/cpu.h"

// Decode-only steps always format; executing steps only when the caller asked for text.
inline bool wantsText(const Cpu& cpu) { return (cpu.textWanted | cpu.decodeOnly) != 0; }

void formatInto(char* buffer, size_t size, const char* format, va_list args);

// Writes the instruction text (cut to fit asmText) when text is wanted.
__attribute__((format(printf, 2, 3))) inline void setText(Cpu& cpu, const char* format, ...) {
    if (!wantsText(cpu)) return;
    va_list args;
    va_start(args, format);
    formatInto(cpu.asmText, sizeof cpu.asmText, format, args);
    va_end(args);
}

// Writes the operand note when text is wanted.
__attribute__((format(printf, 2, 3))) inline void setTrace(Cpu& cpu, const char* format, ...) {
    if (!wantsText(cpu)) return;
    va_list args;
    va_start(args, format);
    formatInto(cpu.traceText, sizeof cpu.traceText, format, args);
    va_end(args);
}
