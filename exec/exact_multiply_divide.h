#pragma once
#include <cstdint>
#include "core/cpu.h"
namespace exact8086 {
void multiplyByte(Cpu& cpu, uint8_t factor, bool isSigned, bool repPrefixed);
void multiplyWord(Cpu& cpu, uint16_t factor, bool isSigned, bool repPrefixed);
bool divideByte(Cpu& cpu, uint8_t divisor, bool isSigned, bool repPrefixed);
bool divideWord(Cpu& cpu, uint16_t divisor, bool isSigned, bool repPrefixed);
bool asciiAdjustMultiply(Cpu& cpu, uint8_t base);
void asciiAdjustDivide(Cpu& cpu, uint8_t base);
}
