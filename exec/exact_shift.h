#pragma once
#include <cstdint>
#include "core/cpu.h"
namespace exact8086 {
uint32_t shiftOrRotate(Cpu& cpu, unsigned operation, uint32_t value, unsigned count, bool wordOperand);
}
