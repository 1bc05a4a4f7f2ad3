#pragma once
#include "core/cpu.h"

// Fetches one instruction at CS:IP with all its prefixes, writes its text into asmText (and the
// operand note into traceText) and, unless decodeOnly is set, executes it.
void step(Cpu& cpu);

// The most prefix bytes one instruction may carry. One more prefix byte in a row ends the
// instruction there: it is shown as "???" (after any rep words), does nothing, and the next step
// starts at the byte after it.
constexpr int kMaxPrefixBytes = 15;
