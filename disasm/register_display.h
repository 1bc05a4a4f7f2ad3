#pragma once
#include <cstdint>
#include <cstdio>

#include "core/cpu.h"

// Prints the register display (two register lines with the flag names, then the next instruction
// with its address, code bytes, text, operand note and breakpoint mark) to out, which may be the
// console or an open file. Leaves the machine as it was and returns the offset after the
// instruction shown.
uint16_t showRegisters(Cpu& cpu, std::FILE* out);
