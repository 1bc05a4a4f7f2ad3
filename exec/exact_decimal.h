#pragma once
#include "core/cpu.h"
namespace exact8086 {
void decimalAdjustAdd(Cpu& cpu);
void decimalAdjustSubtract(Cpu& cpu);
void asciiAdjustAdd(Cpu& cpu);
void asciiAdjustSubtract(Cpu& cpu);
void setAlFromCarry(Cpu& cpu);
}
