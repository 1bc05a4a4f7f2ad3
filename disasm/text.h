#pragma once
// Instruction-text conventions: lower-case mnemonic, a tab, comma-separated operands, lower-case
// hexadecimal without prefix. Texts are formatted only when someone will read them.
#include <cstdarg>
#include <cstdio>

#include "core/cpu.h"

// Decode-only steps always format; executing steps only when the caller asked for text.
inline bool wantsText(const Cpu& cpu) { return (cpu.textWanted | cpu.decodeOnly) != 0; }

// Formats into a buffer of the given size, cutting what does not fit (a printf subset, fast for
// the conversions the texts use).
__attribute__((format(printf, 3, 4))) void formatText(char* out, size_t size, const char* format, ...);

// Formatting out of line: the execution path only pays for the wantsText test.
__attribute__((format(printf, 2, 3))) void formatAsmText(Cpu& cpu, const char* format, ...);
__attribute__((format(printf, 2, 3))) void formatTraceText(Cpu& cpu, const char* format, ...);

// setText(cpu, format, ...) writes the instruction text (cut to fit asmText) and setTrace the operand
// note, only when text is wanted. They are macros so that the arguments are not even evaluated
// otherwise and the compiler still checks them against the format.
#define setText(cpu, ...) ((void)(wantsText(cpu) && (formatAsmText((cpu), __VA_ARGS__), true)))
#define setTrace(cpu, ...) ((void)(wantsText(cpu) && (formatTraceText((cpu), __VA_ARGS__), true)))
