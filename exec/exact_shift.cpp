// The 8086 runs a shift or rotate as a microcode loop of one-bit ALU steps, CL times (unmasked) or
// once, and every step sets the flags its ALU operation sets; what the last step leaves is what the
// program sees. Rotates set only CF and OF. SHL is the ALU's addition of the operand to itself, so it
// also sets AF (from bit 3, now bit 4 of the result) and SF/ZF/PF. SHR and SAR clear AF. SETMO (reg
// field 6) makes the operand all ones with CF, OF and AF cleared and SF/ZF/PF from that result.
// OF is, for every operation but SETMO, whether the step changed the top bit.
#include "exec/exact_shift.h"

#include "core/flags_8086.h"

namespace exact8086 {

namespace {

enum Operation : unsigned { kRol, kRor, kRcl, kRcr, kShl, kShr, kSetmo, kSar };

struct Width {
    uint32_t top;  // 0x80 or 0x8000
    uint32_t mask() const { return top * 2 - 1; }
};

// One step of the loop on value (within the width), with the flags the step sets.
uint32_t oneStep(Cpu& cpu, unsigned operation, uint32_t value, Width width) {
    const uint32_t topOut = (value & width.top) != 0;
    const uint32_t bottomOut = value & 1;
    const uint32_t carryIn = cpu.cfFlag;
    uint32_t result;
    uint32_t carryOut;
    switch (operation) {
        case kRol: result = ((value << 1) & width.mask()) | topOut, carryOut = topOut; break;
        case kRor: result = (value >> 1) | (bottomOut ? width.top : 0), carryOut = bottomOut; break;
        case kRcl: result = ((value << 1) & width.mask()) | carryIn, carryOut = topOut; break;
        case kRcr: result = (value >> 1) | (carryIn ? width.top : 0), carryOut = bottomOut; break;
        case kShl: result = (value << 1) & width.mask(), carryOut = topOut; break;
        case kShr: result = value >> 1, carryOut = bottomOut; break;
        case kSetmo: result = width.mask(), carryOut = 0; break;
        default: result = (value >> 1) | (value & width.top), carryOut = bottomOut; break;  // SAR
    }
    cpu.cfFlag = static_cast<uint8_t>(carryOut);
    cpu.ofFlag = operation != kSetmo && ((result ^ value) & width.top) != 0;
    if (operation >= kShl) {
        cpu.afFlag = operation == kShl ? (result >> 4) & 1 : 0;
        cpu.sfFlag = (result & width.top) != 0;
        cpu.zfFlag = result == 0;
        cpu.pfFlag = parityOf(result);
    }
    return result;
}

}  // namespace

uint32_t shiftOrRotate(Cpu& cpu, unsigned operation, uint32_t value, unsigned count, bool wordOperand) {
    const Width width{wordOperand ? 0x8000u : 0x80u};
    value &= width.mask();
    for (unsigned step = 0; step < count; ++step) value = oneStep(cpu, operation & 7, value, width);
    return value;
}

}  // namespace exact8086
