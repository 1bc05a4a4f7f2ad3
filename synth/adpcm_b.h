#pragma once
// The YM2608's ADPCM-B (registers 00-10 of bank A1): the 256 KiB sample memory written through
// the data port 08, playback from start to stop address at the delta-N rate, level, stereo bits,
// repeat, decoded with the chip's adaptive step.
//
// Registers, from the YM2608 application manual:
//   00 control 1: bit 7 start, 6 rec, 5 memory data (the external memory), 4 repeat, 3 speaker
//      off, 0 reset.
//   01 control 2: bit 7 L, 6 R, 1 RAM type (1: x8 bit, 0: x1 bit), 0 ROM. Addresses count in
//      units of 32 bytes for x8 RAM (and ROM), of 4 bytes for x1 RAM.
//   02-03 start, 04-05 stop (the last unit played), 0C-0D limit (the address wraps to 0 past it),
//   06-07 prescale and 0E-0F DAC/PCM data (A/D and D/A paths, not sounded here),
//   08 data: with memory data set and start clear, a write stores a byte and advances the address,
//   09-0A delta-N: playback rate = delta-N / 65536 * (master / 144),
//   0B level: linear, 255 the loudest,
//   10 flag control: bits 0-4 mask the flags of the same bits, bit 7 clears them.
#include <cstdint>
#include <vector>

#include "synth/stereo.h"

namespace synth {

class AdpcmB {
public:
    static constexpr uint32_t kMasterClock = 7987200;
    static constexpr uint32_t kMemoryBytes = 256 * 1024;
    // Flag bits as the chip's status register reports them.
    static constexpr uint8_t kFlagEndOfSample = 0x04;
    static constexpr uint8_t kFlagBufferReady = 0x08;

    AdpcmB();

    // Clears the registers and stops playback; the sample memory keeps its contents, as the
    // board's DRAM does across a chip reset.
    void reset();
    void write(uint8_t reg, uint8_t value);
    StereoSample next();

    // The part's status flags (end of sample, buffer ready) after the masks of register 10.
    uint8_t flags() const;
    bool playing() const { return playing_; }

private:
    void startPlayback();
    void restartDecoder();
    int decodeNextNibble();
    void advanceAddress();
    uint32_t unitShift() const;
    uint32_t addressSpace() const { return 1u << (16 + unitShift()); }
    uint32_t unitAddress(int lowReg) const;
    uint32_t endAddress(int lowReg) const;
    void updateGain();

    std::vector<uint8_t> memory_;
    uint8_t regs_[0x11] = {};

    uint32_t addr_ = 0;       // byte address of the chip's one memory counter
    bool lowNibble_ = false;  // the next code is the low nibble of the byte at addr_
    bool playing_ = false;
    uint8_t flags_ = 0;

    // The decoder: the sample and its adaptive step.
    int32_t x_ = 0;
    int32_t step_ = 0;

    // Output: the last two decoded samples and the position between them, in 1/65536 units.
    uint32_t position_ = 0;
    float previous_ = 0;
    float current_ = 0;
    float gainLeft_ = 0;
    float gainRight_ = 0;
};

}  // namespace synth
