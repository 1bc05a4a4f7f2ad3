// Shifts and rotates (C0 C1 D0 D1 D2 D3). In the standard mode every form runs a loop of one-bit
// steps on a copy of the operand, then sets ZF and SF from the final value (rotates included) and
// writes the operand back; CF is the last bit out; OF, AF and PF are never touched. The exact mode
// shifts as the 8086 does (its own flag rules, the CL count unmasked, reg 6 as SETMO/SETMOC); the
// 80186 forms C0/C1 mask their count to five bits, as the 80186 does.
#include "core/memory.h"
#include "core/modes.h"
#include "core/operands.h"
#include "disasm/text.h"
#include "exec/exact_shift.h"
#include "exec/handlers.h"

namespace {

enum ShiftOperation : uint8_t { kRol, kRor, kRcl, kRcr, kShl, kShr, kSal, kSar };

const char* const kShiftMnemonics[8] = {"rol", "ror", "rcl", "rcr", "shl", "shr", "sal", "sar"};

// Only the low five bits of a count are used: 0x20 acts as 0 and 0x21 as 1.
constexpr unsigned kCountMask = 0x1F;

// The operand width seen through its top bit: 0x80 for bytes, 0x8000 for words.
struct Width {
    uint32_t topBit;
    uint32_t mask() const { return topBit * 2 - 1; }
};

// One step of the operation on value (within the width); the bit that leaves becomes CF.
uint32_t shiftOneBit(Cpu& cpu, unsigned operation, uint32_t value, Width width) {
    const bool leftward = operation == kRol || operation == kRcl || operation == kShl || operation == kSal;
    const uint32_t out = leftward ? (value & width.topBit) != 0 : value & 1;
    const uint32_t carryIn = cpu.cfFlag;
    cpu.cfFlag = static_cast<uint8_t>(out);
    switch (operation) {
        case kRol: return ((value << 1) & width.mask()) | out;
        case kRor: return (value >> 1) | (out ? width.topBit : 0);
        case kRcl: return ((value << 1) & width.mask()) | carryIn;
        case kRcr: return (value >> 1) | (carryIn ? width.topBit : 0);
        case kShr: return value >> 1;
        case kSar: return (value >> 1) | (value & width.topBit);
        default: return (value << 1) & width.mask();  // SHL and SAL
    }
}

unsigned countOf(const Cpu& cpu, uint8_t opcode) {
    switch (opcode & 0xFE) {
        case 0xD0: return 1;
        case 0xD2: return cpu.cx & kCountMask;
        default: return cpu.imm8 & kCountMask;
    }
}

bool isImmediateForm(uint8_t opcode) { return (opcode & 0xFE) == 0xC0; }

// The operation by mode: takes the decoded operand (rmValue), leaves the new value in result.
template <class M>
struct ShiftRules;

template <>
struct ShiftRules<StandardMode> {
    static const char* mnemonic(uint8_t, unsigned operation) { return kShiftMnemonics[operation]; }

    static void execute(Cpu& cpu, uint8_t opcode, bool wordOperand) {
        const Width width{wordOperand ? 0x8000u : 0x80u};
        const unsigned count = countOf(cpu, opcode);
        const unsigned operation = cpu.regField;
        uint32_t value = cpu.rmValue;  // kept in a local: the flag stores would make it reload
        for (unsigned i = 0; i < count; ++i) value = shiftOneBit(cpu, operation, value, width);
        cpu.result = value;
        cpu.zfFlag = value == 0;
        cpu.sfFlag = (value & width.topBit) != 0;
    }
};

template <>
struct ShiftRules<ExactMode> {
    // Reg 6 of D0-D3 is the 8086's SETMO (by 1) and SETMOC (by CL); the 80186 forms keep SAL.
    static const char* mnemonic(uint8_t opcode, unsigned operation) {
        if (operation != kSal || isImmediateForm(opcode)) return kShiftMnemonics[operation];
        return (opcode & 0xFE) == 0xD2 ? "setmoc" : "setmo";
    }

    static void execute(Cpu& cpu, uint8_t opcode, bool wordOperand) {
        unsigned operation = cpu.regField;
        unsigned count;
        switch (opcode & 0xFE) {
            case 0xD0: count = 1; break;
            case 0xD2: count = cpu.cx & 0xFF; break;  // the 8086 takes all of CL
            default:
                count = cpu.imm8 & kCountMask;
                if (operation == kSal) operation = kShl;
                break;
        }
        cpu.result = exact8086::shiftOrRotate(cpu, operation, cpu.rmValue, count, wordOperand);
    }
};

}  // namespace

template <class M>
void opShiftGroup(Cpu& cpu) {
    const uint8_t opcode = cpu.codeByte;  // the ModR/M byte replaces it below
    const bool wordOperand = (opcode & 1) != 0;
    if (wordOperand) {
        decodeRmWord<M>(cpu);
        formatOperands16(cpu);
    } else {
        decodeRmByte<M>(cpu);
        formatOperands8(cpu);
    }
    const char* mnemonic = ShiftRules<M>::mnemonic(opcode, cpu.regField);
    switch (opcode & 0xFE) {
        case 0xD0: setText(cpu, "%s\t%s%s,1", mnemonic, cpu.ptrText, cpu.rmText); break;
        case 0xD2: setText(cpu, "%s\t%s%s,cl", mnemonic, cpu.ptrText, cpu.rmText); break;
        default:
            // The count byte follows the displacement; it is taken after the operand text is built
            // because imm8 also holds an 8-bit displacement.
            cpu.imm8 = fetchByte(cpu);
            setText(cpu, "%s\t%s%s,%02x", mnemonic, cpu.ptrText, cpu.rmText, cpu.imm8);
            break;
    }
    if (cpu.decodeOnly) return;

    ShiftRules<M>::execute(cpu, opcode, wordOperand);
    if (wordOperand) {
        storeRmWord<M>(cpu);
    } else {
        storeRmByte(cpu);
    }
}

VELKOR_FOR_BOTH_MODES(opShiftGroup)
