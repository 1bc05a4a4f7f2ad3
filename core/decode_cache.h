#pragma once
// Decoded instructions, kept in blocks per linear address for the fast run loop. An instruction
// holds the bytes it was decoded from and is used only while the image still holds exactly those
// bytes there, so a write by any path (a guest instruction, a string, the stack, an INT frame, the
// monitor's e, f, m, l) takes effect the next time the instruction runs, with no write path having
// to know about the cache. One direct-mapped table of fixed size: the memory it takes does not
// depend on what the guest does.
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/cpu.h"

struct DecodedInstruction;
// A decoded instruction's handler: `next` is the IP after the instruction; it returns the IP to go
// on at. The run loop keeps IP in a host register meanwhile, so cpu.ip is not current inside it.
using FastHandler = uint16_t (*)(Cpu&, const DecodedInstruction&, uint16_t next);

// Instructions are compared through an 8-byte window, the longest instruction the fast loop takes.
constexpr unsigned kWindowBytes = 8;
// The last linear address whose window lies inside the image.
constexpr uint32_t kLastWindowStart = kMemorySize - kWindowBytes;

struct DecodedInstruction {
    FastHandler handler = nullptr;  // none: the instruction is left to the step
    uint64_t bytes = 0;             // the window as decoded, masked to the instruction's bytes
    uint64_t mask = 0;              // which bytes of the window the instruction is made of
    // A memory operand's offset: (word register baseReg & baseMask) + (indexReg & indexMask) +
    // displacement, untruncated as the operand layer forms it; in the segment register `segment`.
    uint32_t displacement = 0;
    uint16_t baseMask = 0, indexMask = 0;
    uint8_t baseReg = 0, indexReg = 0, segment = 0;
    uint8_t reg = 0;     // the reg field, or the register or condition an opcode names
    uint8_t rm = 0;      // the r/m field of a register operand
    uint8_t regByte = 0, rmByte = 0;  // reg and rm as byte registers: their byteRegisterIndex
    uint8_t length = 0;  // bytes
    // Where the instruction starts, as IP minus the IP its block starts at: it may lie before the
    // block's first instruction when a CALL or JMP the block goes through leads back.
    int16_t offset = 0;
    uint16_t next = 0;       // offset + length, modulo 64 Ki: the IP after it, less the block's
    bool endsBlock = false;  // a control transfer: the block ends with it, unless it is followed
    bool followed = false;   // a near CALL or JMP with its target in the instruction: the block goes on there
    uint16_t immediate = 0;  // an immediate or relative displacement, as the instruction uses it
};

// The window of image bytes at a linear address at most kLastWindowStart.
inline uint64_t windowAt(const uint8_t* image, uint32_t linear) {
    uint64_t window;
    std::memcpy(&window, image + linear, sizeof window);
    return window;
}

// Whether the instruction still has the bytes it was decoded from, in the image of the block
// whose first instruction's first byte is at `code`.
inline bool stillHoldsIn(const uint8_t* code, const DecodedInstruction& d) {
    return (windowAt(code + d.offset, 0) & d.mask) == d.bytes;
}

// The mask of the first `length` bytes of a window, in the host's byte order.
inline uint64_t windowMask(unsigned length) {
    if (length >= kWindowBytes) return ~uint64_t{0};
    const uint64_t low = (uint64_t{1} << (8 * length)) - 1;
    return std::endian::native == std::endian::little ? low : ~(~uint64_t{0} >> (8 * length));
}

// A run of decoded instructions from one address, in the order they execute: at most
// kBlockInstructions, going on at the target of a near CALL or JMP and ending with any other
// control transfer or before an instruction left to the step. Running a block walks its array,
// so finding the next instruction does not wait for the last one's length; each instruction is
// still checked against the image just before it runs, so a write to it by the instruction before
// it (or by anyone) is seen.
constexpr unsigned kBlockInstructions = 12;

struct DecodedBlock {
    uint32_t linear = ~0u;  // the first instruction's CS*16+IP (none yet: above any address)
    uint8_t count = 0;      // 0: the first instruction is left to the step
    // The IPs the block may start at: lowestIp + 0 ... ipRange, those for which every instruction's
    // window lies inside the segment (no IP wraps within the block). None when it holds no
    // instruction.
    int32_t lowestIp = kNoIp;
    uint32_t ipRange = 0;
    // Where the instructions after the first start: `innerStarts` addresses from `firstInner`
    // (offsets as above), a range that holds them all (none when there is one instruction).
    int16_t firstInner = 0;
    uint16_t innerStarts = 0;

    static constexpr int32_t kNoIp = 0x20000;  // above any IP, by more than any range

    // Whether it runs from this IP.
    bool runsFrom(uint16_t ip) const { return static_cast<uint32_t>(ip - lowestIp) <= ipRange; }
    // Whether a linear address is where one of its inner instructions may start (where the one
    // before it ends).
    bool mayEndInside(uint32_t at, uint32_t linear) const {
        return linear - (at + firstInner) < innerStarts;
    }
    DecodedInstruction instructions[kBlockInstructions];
};

struct DecodeCache {
    static constexpr uint32_t kBlocks = 1u << 13;  // 4.7 MiB, whatever the guest does

    explicit DecodeCache(CpuMode forMode) : mode(forMode), blocks(std::make_unique<DecodedBlock[]>(kBlocks)) {}

    static uint32_t slotOf(uint32_t linear) { return linear & (kBlocks - 1); }

    CpuMode mode;  // whose handlers the blocks hold
    std::unique_ptr<DecodedBlock[]> blocks;
};
