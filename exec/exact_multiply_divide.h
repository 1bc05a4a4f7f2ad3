#pragma once
// The exact 8086's multiply, divide and ASCII-adjust arithmetic (MUL, IMUL, DIV, IDIV, AAM, AAD).
// The 8086 runs these as microcode loops over three hidden registers; the functions here take the
// same steps, so every flag ends as the processor leaves it, the "undefined" ones included, and a
// divide error leaves the flags exactly as they stand when the interrupt pushes them.
//
// Only the arithmetic lives here: the caller fetches the operand, and on a divide error (a false
// return) it takes interrupt 0 itself (pushing FLAGS, CS and the IP of the next instruction,
// clearing IF and TF). DF, IF and TF are never touched.
#include <cstdint>

#include "core/cpu.h"

namespace exact8086 {

// MUL/IMUL r/m8 (AX = AL x factor) and r/m16 (DX:AX = AX x factor).
// CF = OF = the high half is needed (for IMUL: it is more than the low half's sign extension).
// SF, ZF, PF and AF are those of the microcode's final check: the high half plus, for IMUL, the low
// half's sign bit, a sum that is zero exactly when the product fits the low half.
// repPrefixed: an F2/F3 prefix is in force. It leaves the microcode's sign flag set, so a signed
// product comes out negated; MUL ignores it.
void multiplyByte(Cpu& cpu, uint8_t factor, bool isSigned, bool repPrefixed);
void multiplyWord(Cpu& cpu, uint16_t factor, bool isSigned, bool repPrefixed);

// DIV/IDIV r/m8 (AX / divisor -> AL quotient, AH remainder) and r/m16 (DX:AX / divisor -> AX, DX).
// Returns false on the divide error: AX and DX are then unchanged and the flags are as the fault
// pushes them. Signed quotients must lie in -127..127 (-32767..32767); the 8086 also rejects the
// most negative value. With repPrefixed a signed quotient comes out negated (the remainder keeps
// the dividend's sign).
bool divideByte(Cpu& cpu, uint8_t divisor, bool isSigned, bool repPrefixed);
bool divideWord(Cpu& cpu, uint16_t divisor, bool isSigned, bool repPrefixed);

// AAM imm8: AH = AL / base, AL = AL mod base; SF, ZF, PF from AL, OF, AF and CF cleared.
// Returns false on the divide error (base 0), flags as the fault pushes them.
bool asciiAdjustMultiply(Cpu& cpu, uint8_t base);
// AAD imm8: AL = AH x base + AL, AH = 0; the flags are those of that final byte addition.
void asciiAdjustDivide(Cpu& cpu, uint8_t base);

}  // namespace exact8086
