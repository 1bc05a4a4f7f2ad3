#pragma once
// The monitor's hexadecimal argument parsers. A two-letter register name (ax bx cx dx bp si di sp
// ip cs ds es ss, lower case) stands for the register's value and ends the parse.
#include <cstdint>

struct Cpu;

struct HexValue {
    uint32_t value = 0;
    uint8_t digitCount = 0;  // hex digits consumed (8 bits, so it wraps past 255)
    bool ok = true;
};

HexValue parseHex(const Cpu& cpu, const char* text);
// As parseHex, but a colon stores the value so far as the segment and starts the offset.
HexValue parseHexSegmented(const Cpu& cpu, const char* text, uint16_t& segment);

// Three values in the chained layout of m and fill: each later value starts at the previous
// value's start plus its digit count plus one. Returns false when one is missing or not ok.
bool parseChainedTriple(const Cpu& cpu, const char* line, uint32_t values[3]);
