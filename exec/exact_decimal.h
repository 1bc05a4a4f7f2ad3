#pragma once
// The 8086's decimal and ASCII adjustments and SALC as the exact processor mode executes them.
#include "core/cpu.h"

namespace exact8086 {

void decimalAdjustAdd(Cpu& cpu);        // DAA  (27)
void decimalAdjustSubtract(Cpu& cpu);   // DAS  (2F)
void asciiAdjustAdd(Cpu& cpu);          // AAA  (37)
void asciiAdjustSubtract(Cpu& cpu);     // AAS  (3F)
void setAlFromCarry(Cpu& cpu);          // SALC (D6): AL = CF ? FF : 00, no flags

}  // namespace exact8086
