#pragma once
// The 8086's shifts and rotates (the D0-D3 group) as the exact processor mode executes them.
#include <cstdint>

#include "core/cpu.h"

namespace exact8086 {

// One shift or rotate as the 8086 executes it: operation = the ModR/M reg field (0 ROL, 1 ROR,
// 2 RCL, 3 RCR, 4 SHL, 5 SHR, 6 the undocumented SETMO/SETMOC, 7 SAR); value in the low 8 or 16
// bits; count as the hardware uses it (the 8086 does not mask CL; a count of 0 changes nothing,
// flags included). Returns the new value and sets every flag the 8086 sets (also those the manuals
// call undefined, as far as the hardware shows them).
uint32_t shiftOrRotate(Cpu& cpu, unsigned operation, uint32_t value, unsigned count, bool wordOperand);

}  // namespace exact8086
