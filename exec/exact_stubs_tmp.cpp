// Temporary placeholders until the 8086 arithmetic lands.
#include "exec/exact_multiply_divide.h"
namespace exact8086 {
void multiplyByte(Cpu&, uint8_t, bool, bool) {}
void multiplyWord(Cpu&, uint16_t, bool, bool) {}
bool divideByte(Cpu&, uint8_t d, bool, bool) { return d != 0; }
bool divideWord(Cpu&, uint16_t d, bool, bool) { return d != 0; }
bool asciiAdjustMultiply(Cpu&, uint8_t b) { return b != 0; }
void asciiAdjustDivide(Cpu&, uint8_t) {}
}
