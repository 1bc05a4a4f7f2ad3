// The decoder of the fast run loop: turns the bytes at an address into an entry that names its
// handler (picked for the operand form, so the handler never looks at the form) and carries the
// operands already taken apart. Instructions it does not know are marked for the step.
#include "exec/fast_decode.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "exec/fast_alu.h"
#include "exec/fast_control.h"
#include "exec/fast_move.h"

namespace {

using namespace fast;

constexpr uint8_t kBx = 3, kBp = 5, kSi = 6, kDi = 7;
constexpr uint8_t kEs = 0, kCs = 1, kSs = 2, kDs = 3;
constexpr int kNoOverride = -1;

uint16_t wordAt(const uint8_t* code) { return static_cast<uint16_t>(code[0] | code[1] << 8); }
uint16_t signExtended(uint8_t value) { return static_cast<uint16_t>(static_cast<int8_t>(value)); }

// The segment an override prefix selects, or kNoOverride for any other byte.
int overrideOf(uint8_t prefix) {
    switch (prefix) {
        case 0x26: return kEs;
        case 0x2E: return kCs;
        case 0x36: return kSs;
        case 0x3E: return kDs;
        default: return kNoOverride;
    }
}

// Takes the ModR/M byte and its displacement apart; returns how many bytes they take.
unsigned takeModRm(DecodedInstruction& d, const uint8_t* at, int segmentOverride) {
    const unsigned mod = at[0] >> 6;
    d.reg = (at[0] >> 3) & 7;
    d.rm = at[0] & 7;
    if (mod == 3) return 1;
    struct Pair {
        uint8_t base, index;
        bool indexed;
    };
    static constexpr Pair kPairs[8] = {{kBx, kSi, true}, {kBx, kDi, true}, {kBp, kSi, true}, {kBp, kDi, true},
                                       {kSi, 0, false},  {kDi, 0, false},  {kBp, 0, false},  {kBx, 0, false}};
    const bool direct = mod == 0 && d.rm == 6;
    const Pair pair = kPairs[d.rm];
    d.baseReg = pair.base;
    d.indexReg = pair.index;
    d.baseMask = direct ? 0 : 0xFFFF;
    d.indexMask = pair.indexed ? 0xFFFF : 0;
    const bool bpBased = d.rm == 2 || d.rm == 3 || (d.rm == 6 && mod != 0);
    d.segment = segmentOverride != kNoOverride ? static_cast<uint8_t>(segmentOverride) : bpBased ? kSs : kDs;
    if (direct || mod == 2) {
        d.displacement = wordAt(at + 1);
        return 3;
    }
    // A byte displacement is added sign-extended to 32 bits, as the operand layer adds it.
    d.displacement = mod == 1 ? static_cast<uint32_t>(static_cast<int8_t>(at[1])) : 0;
    return mod == 1 ? 2 : 1;
}

bool isMemory(const uint8_t* modrm) { return (modrm[0] >> 6) != 3; }

// The eight operations over one pair of operand forms, by operation number.
template <class M, class W, class Dst, class Src>
constexpr std::array<FastHandler, 8> kAluFamily = {
    straight<alu<kAluAdd, W, M, Dst, Src>>, straight<alu<kAluOr, W, M, Dst, Src>>,
    straight<alu<kAluAdc, W, M, Dst, Src>>, straight<alu<kAluSbb, W, M, Dst, Src>>,
    straight<alu<kAluAnd, W, M, Dst, Src>>, straight<alu<kAluSub, W, M, Dst, Src>>,
    straight<alu<kAluXor, W, M, Dst, Src>>, straight<alu<kAluCmp, W, M, Dst, Src>>};

template <class M, class W>
const std::array<FastHandler, 8>& aluRmReg(const uint8_t* modrm) {
    return isMemory(modrm) ? kAluFamily<M, W, RmMemory<W, M>, RegOperand<W>>
                           : kAluFamily<M, W, RmRegister<W>, RegOperand<W>>;
}

template <class M, class W>
const std::array<FastHandler, 8>& aluRegRm(const uint8_t* modrm) {
    return isMemory(modrm) ? kAluFamily<M, W, RegOperand<W>, RmMemory<W, M>>
                           : kAluFamily<M, W, RegOperand<W>, RmRegister<W>>;
}

template <class M, class W>
const std::array<FastHandler, 8>& aluRmImmediate(const uint8_t* modrm) {
    return isMemory(modrm) ? kAluFamily<M, W, RmMemory<W, M>, Immediate<W>>
                           : kAluFamily<M, W, RmRegister<W>, Immediate<W>>;
}

template <class M, class W>
FastHandler testRmReg(const uint8_t* modrm) {
    return isMemory(modrm) ? straight<test<W, M, RmMemory<W, M>, RegOperand<W>>>
                           : straight<test<W, M, RmRegister<W>, RegOperand<W>>>;
}

// INC or DEC of the r/m operand (FE and FF with reg field 0 or 1).
template <class M, class W>
FastHandler incDecRm(const uint8_t* modrm, bool increment) {
    if (isMemory(modrm)) {
        return increment ? straight<incDec<true, W, M, RmMemory<W, M>>> : straight<incDec<false, W, M, RmMemory<W, M>>>;
    }
    return increment ? straight<incDec<true, W, M, RmRegister<W>>> : straight<incDec<false, W, M, RmRegister<W>>>;
}

template <class M, class W>
FastHandler moveRmReg(const uint8_t* modrm) {
    return isMemory(modrm) ? straight<move<RmMemory<W, M>, RegOperand<W>>>
                           : straight<move<RmRegister<W>, RegOperand<W>>>;
}

template <class M, class W>
FastHandler moveRegRm(const uint8_t* modrm) {
    return isMemory(modrm) ? straight<move<RegOperand<W>, RmMemory<W, M>>>
                           : straight<move<RegOperand<W>, RmRegister<W>>>;
}

template <class M, class W>
FastHandler moveRmImmediate(const uint8_t* modrm) {
    return isMemory(modrm) ? straight<move<RmMemory<W, M>, Immediate<W>>>
                           : straight<move<RmRegister<W>, Immediate<W>>>;
}

// Fills handler, length and operands for the instructions with a ModR/M byte (after any segment
// prefix); false for the others.
template <class M>
bool decodeModRmForm(DecodedInstruction& d, const uint8_t* code, int segmentOverride) {
    const uint8_t opcode = code[0];
    const uint8_t* modrm = code + 1;
    const bool aluModRm = opcode < 0x40 && (opcode & 7) < 4;
    const bool incDecModRm = (opcode == 0xFE || opcode == 0xFF) && ((modrm[0] >> 3) & 7) < 2;
    const bool known = aluModRm || (opcode >= 0x80 && opcode <= 0x85) || (opcode >= 0x88 && opcode <= 0x8B) ||
                       opcode == 0xC6 || opcode == 0xC7 || incDecModRm;
    if (!known) return false;
    const unsigned operandEnd = 1 + takeModRm(d, modrm, segmentOverride);
    unsigned immediateBytes = 0;
    switch (opcode) {
        case 0x80:
        case 0x82:
            d.handler = aluRmImmediate<M, Byte>(modrm)[d.reg];
            d.immediate = code[operandEnd];
            immediateBytes = 1;
            break;
        case 0x81:
            d.handler = aluRmImmediate<M, Word>(modrm)[d.reg];
            d.immediate = wordAt(code + operandEnd);
            immediateBytes = 2;
            break;
        case 0x83:  // the byte widened to a word for the operation
            d.handler = aluRmImmediate<M, Word>(modrm)[d.reg];
            d.immediate = code[operandEnd] < 0x80 ? code[operandEnd] : (code[operandEnd] | 0xFF00);
            immediateBytes = 1;
            break;
        case 0x84: d.handler = testRmReg<M, Byte>(modrm); break;
        case 0x85: d.handler = testRmReg<M, Word>(modrm); break;
        case 0x88: d.handler = moveRmReg<M, Byte>(modrm); break;
        case 0x89: d.handler = moveRmReg<M, Word>(modrm); break;
        case 0x8A: d.handler = moveRegRm<M, Byte>(modrm); break;
        case 0x8B: d.handler = moveRegRm<M, Word>(modrm); break;
        case 0xC6:
            d.handler = moveRmImmediate<M, Byte>(modrm);
            d.immediate = code[operandEnd];
            immediateBytes = 1;
            break;
        case 0xC7:
            d.handler = moveRmImmediate<M, Word>(modrm);
            d.immediate = wordAt(code + operandEnd);
            immediateBytes = 2;
            break;
        case 0xFE: d.handler = incDecRm<M, Byte>(modrm, d.reg == 0); break;
        case 0xFF: d.handler = incDecRm<M, Word>(modrm, d.reg == 0); break;
        default: {  // 00-3B: the operation in bits 5-3, the form in bits 1-0
            const unsigned op = opcode >> 3;
            switch (opcode & 3) {
                case 0: d.handler = aluRmReg<M, Byte>(modrm)[op]; break;
                case 1: d.handler = aluRmReg<M, Word>(modrm)[op]; break;
                case 2: d.handler = aluRegRm<M, Byte>(modrm)[op]; break;
                default: d.handler = aluRegRm<M, Word>(modrm)[op]; break;
            }
        }
    }
    d.length = static_cast<uint8_t>(operandEnd + immediateBytes);
    return true;
}

// The instructions without a ModR/M byte; false for the ones left to the step.
template <class M>
bool decodeShortForm(DecodedInstruction& d, const uint8_t* code) {
    const uint8_t opcode = code[0];
    d.reg = opcode & 7;
    d.length = 1;
    if (opcode < 0x40 && (opcode & 7) >= 4 && (opcode & 7) <= 5) {  // AL/AX with an immediate
        const unsigned op = opcode >> 3;
        const bool word = (opcode & 1) != 0;
        d.handler = word ? kAluFamily<M, Word, Accumulator<Word>, Immediate<Word>>[op]
                         : kAluFamily<M, Byte, Accumulator<Byte>, Immediate<Byte>>[op];
        d.immediate = word ? wordAt(code + 1) : code[1];
        d.length = word ? 3 : 2;
        return true;
    }
    switch (opcode >> 3) {
        case 0x40 >> 3: d.handler = straight<incDec<true, Word, M, RegOperand<Word>>>; return true;
        case 0x48 >> 3: d.handler = straight<incDec<false, Word, M, RegOperand<Word>>>; return true;
        case 0x50 >> 3: d.handler = straight<pushRegister<M>>; return true;
        case 0x58 >> 3: d.handler = straight<popRegister<M>>; return true;
        case 0x70 >> 3:
        case 0x78 >> 3:
            d.reg = opcode & 0x0F;
            d.handler = jumpIf<M>;
            d.endsBlock = true;
            d.immediate = signExtended(code[1]);
            d.length = 2;
            return true;
        case 0xB0 >> 3:
            d.handler = straight<move<RegOperand<Byte>, Immediate<Byte>>>;
            d.immediate = code[1];
            d.length = 2;
            return true;
        case 0xB8 >> 3:
            d.handler = straight<move<RegOperand<Word>, Immediate<Word>>>;
            d.immediate = wordAt(code + 1);
            d.length = 3;
            return true;
        default: break;
    }
    switch (opcode) {
        case 0x90: d.handler = straight<nothing>; return true;
        case 0xA4: d.handler = straight<stringElement<moveByte<M>>>; return true;
        case 0xA5: d.handler = straight<stringElement<moveWord<M>>>; return true;
        case 0xAA: d.handler = straight<storeString<Byte, M>>; return true;
        case 0xAB: d.handler = straight<storeString<Word, M>>; return true;
        case 0xAC: d.handler = straight<loadString<Byte, M>>; return true;
        case 0xAD: d.handler = straight<loadString<Word, M>>; return true;
        case 0xA8:
            d.handler = straight<test<Byte, M, Accumulator<Byte>, Immediate<Byte>>>;
            d.immediate = code[1];
            d.length = 2;
            return true;
        case 0xA9:
            d.handler = straight<test<Word, M, Accumulator<Word>, Immediate<Word>>>;
            d.immediate = wordAt(code + 1);
            d.length = 3;
            return true;
        case 0xC3:
            d.handler = ret<M>;
            d.endsBlock = true;
            return true;
        case 0xE8:
        case 0xE9:
            d.handler = opcode == 0xE8 ? callNear<M> : jumpRelative;
            d.endsBlock = true;
            d.followed = true;
            d.immediate = wordAt(code + 1);
            d.length = 3;
            return true;
        case 0xE0:
        case 0xE1:
        case 0xE2:
        case 0xE3:
        case 0xEB: {
            static constexpr FastHandler kShortJumps[4] = {loopnz<M>, loopz<M>, loop, jcxz};
            d.handler = opcode == 0xEB ? jumpRelative : kShortJumps[opcode - 0xE0];
            d.endsBlock = true;
            d.followed = opcode == 0xEB;
            d.immediate = signExtended(code[1]);
            d.length = 2;
            return true;
        }
        default: return false;
    }
}

}  // namespace

template <class M>
void decodeInstruction(DecodedInstruction& d, const uint8_t* code, uint64_t window) {
    d = DecodedInstruction{};
    const int segmentOverride = overrideOf(code[0]);
    bool decoded;
    if (segmentOverride != kNoOverride) {
        // A segment prefix only changes a memory operand: the other prefixed forms go to the step.
        decoded = decodeModRmForm<M>(d, code + 1, segmentOverride);
        if (decoded) ++d.length;
    } else {
        decoded = decodeModRmForm<M>(d, code, kNoOverride) || decodeShortForm<M>(d, code);
    }
    if (!decoded) {
        // Left to the step, for as long as these bytes stay.
        d.handler = nullptr;
        d.length = kWindowBytes;
    }
    d.regByte = static_cast<uint8_t>(byteRegisterIndex(d.reg));
    d.rmByte = static_cast<uint8_t>(byteRegisterIndex(d.rm));
    d.mask = windowMask(d.length);
    d.bytes = window & d.mask;
}

template void decodeInstruction<StandardMode>(DecodedInstruction&, const uint8_t*, uint64_t);
template void decodeInstruction<ExactMode>(DecodedInstruction&, const uint8_t*, uint64_t);

// Blocks stay short enough to be cheap to decode again.
constexpr unsigned kLongestSpan = 200;

// Offsets stay inside int16_t, with a window's room above them.
constexpr int32_t kLowestOffset = -0x8000;
constexpr int32_t kHighestOffset = 0x7FFF - static_cast<int32_t>(kWindowBytes);

// The IPs a block may start at, from the lowest and highest offsets of its instructions: every
// window must lie inside the segment.
void setStartingIps(DecodedBlock& b, int32_t lowestOffset, int32_t highestOffset) {
    const int32_t lowest = -lowestOffset;
    const int32_t highest = static_cast<int32_t>(0x10000 - kWindowBytes) - highestOffset;
    if (b.count == 0 || highest < lowest) {
        b.lowestIp = DecodedBlock::kNoIp;
        b.ipRange = 0;
    } else {
        b.lowestIp = lowest;
        b.ipRange = static_cast<uint32_t>(highest - lowest);
    }
}

template <class M>
void decodeBlock(DecodedBlock& b, const uint8_t* image, uint32_t linear) {
    b.linear = linear;
    b.count = 0;
    int32_t offset = 0;  // of the next instruction
    int32_t lowestOffset = 0, highestOffset = 0;
    int32_t firstInner = INT32_MAX, lastInner = INT32_MIN;  // of the instructions after the first
    for (unsigned bytes = 0; b.count < kBlockInstructions && bytes <= kLongestSpan;) {
        const int64_t at = static_cast<int64_t>(linear) + offset;
        if (at < 0 || at > kLastWindowStart || offset < kLowestOffset || offset > kHighestOffset) break;
        DecodedInstruction& d = b.instructions[b.count];
        decodeInstruction<M>(d, image + at, windowAt(image, static_cast<uint32_t>(at)));
        if (!d.handler) break;
        d.offset = static_cast<int16_t>(offset);
        d.next = static_cast<uint16_t>(offset + d.length);
        lowestOffset = std::min(lowestOffset, offset);
        highestOffset = std::max(highestOffset, offset);
        if (b.count != 0) {
            firstInner = std::min(firstInner, offset);
            lastInner = std::max(lastInner, offset);
        }
        ++b.count;
        bytes += d.length;
        if (d.followed) {
            offset += d.length + static_cast<int16_t>(d.immediate);
        } else {
            if (d.endsBlock) break;
            offset += d.length;
        }
    }
    setStartingIps(b, lowestOffset, highestOffset);
    const bool inner = b.count > 1;
    b.firstInner = static_cast<int16_t>(inner ? firstInner : 0);
    b.innerStarts = static_cast<uint16_t>(inner ? lastInner - firstInner + 1 : 0);
}

template void decodeBlock<StandardMode>(DecodedBlock&, const uint8_t*, uint32_t);
template void decodeBlock<ExactMode>(DecodedBlock&, const uint8_t*, uint32_t);
