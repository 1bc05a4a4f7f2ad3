#pragma once
#include <array>

#include "core/cpu.h"
#include "core/memory.h"
#include "core/modes.h"
#include "disasm/text.h"
#include "exec/handlers.h"

// Fetches one instruction at CS:IP with all its prefixes, writes its text into asmText (and the
// operand note into traceText) and, unless decodeOnly is set, executes it, as the Cpu's mode
// defines the processor.
void step(Cpu& cpu);

// The most prefix bytes one instruction may carry. One more prefix byte in a row ends the
// instruction there: it is shown as "???" (after any rep words), does nothing, and the next step
// starts at the byte after it.
constexpr int kMaxPrefixBytes = 15;

// ---- The step itself, inline so that the run loops take it without a call.

// Starts an instruction (or the part of it after a prefix): empty note, coverage of its offset,
// the opcode byte.
inline uint8_t beginStep(Cpu& cpu) {
    cpu.traceText[0] = '\0';  // unconditional: a store is cheaper than testing whether text is wanted
    if (cpu.coverageOn) cpu.CodeCoverage.insert(cpu.ip);
    const uint8_t opcode = fetchByte(cpu);
    cpu.codeByte = opcode;
    return opcode;
}

// The prefix bytes of each mode: the 8086 also takes LOCK (F0, and its alias F1) as a prefix.
template <class M>
inline constexpr auto kIsPrefix = [] {
    std::array<bool, 256> table{};
    for (uint8_t prefix : {0x26, 0x2E, 0x36, 0x3E, 0x66, 0x67, 0xF2, 0xF3}) table[prefix] = true;
    if (M::mode == CpuMode::exact) table[0xF0] = table[0xF1] = true;
    return table;
}();

// An instruction whose first byte is a prefix (out of line: rare, and long).
template <class M>
void stepPrefixed(Cpu& cpu, uint8_t opcode);

template <class M>
inline void stepInline(Cpu& cpu) {
    const uint8_t opcode = beginStep(cpu);
    if (kIsPrefix<M>[opcode]) {
        stepPrefixed<M>(cpu, opcode);
    } else {
        // Without a prefix the prefix state is already clear: it is only ever set by a prefix.
        opcodeTable<M>()[opcode](cpu);
    }
}
