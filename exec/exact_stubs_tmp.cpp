// Temporary placeholders until the 8086 arithmetic lands.
#include "exec/exact_decimal.h"
#include "exec/exact_multiply_divide.h"
#include "exec/exact_shift.h"
namespace exact8086 {
void multiplyByte(Cpu&, uint8_t, bool, bool) {}
void multiplyWord(Cpu&, uint16_t, bool, bool) {}
bool divideByte(Cpu&, uint8_t d, bool, bool) { return d != 0; }
bool divideWord(Cpu&, uint16_t d, bool, bool) { return d != 0; }
bool asciiAdjustMultiply(Cpu&, uint8_t b) { return b != 0; }
void asciiAdjustDivide(Cpu&, uint8_t) {}
void decimalAdjustAdd(Cpu&) {}
void decimalAdjustSubtract(Cpu&) {}
void asciiAdjustAdd(Cpu&) {}
void asciiAdjustSubtract(Cpu&) {}
void setAlFromCarry(Cpu&) {}
uint32_t shiftOrRotate(Cpu&, unsigned, uint32_t v, unsigned, bool) { return v; }
}
