#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/cpu.h"

// Prints the register display (two register lines with the flag names, then the next instruction
// with its address, code bytes, text, operand note and breakpoint mark) to out, which may be the
// console or an open file. Leaves the machine as it was and returns the offset after the
// instruction shown.
uint16_t showRegisters(Cpu& cpu, std::FILE* out);

// The code-byte column shared with the unassembler: writes count bytes from address as hex pairs
// into an 18-column field (bytes past the ninth do not fit; the instruction text starts at column 18).
constexpr int kCodeBytesWidth = 18;
void writeCodeBytes(const Cpu& cpu, uint32_t address, int count, char field[kCodeBytesWidth]);

// Writes value as four lower-case hex digits.
void writeHex4(char out[4], uint16_t value);

// How many code bytes a listing shows for an instruction from at to next: none when it wrapped past
// offset FFFF, one when it is longer than 16 bytes.
int shownByteCount(uint16_t at, uint16_t next);
