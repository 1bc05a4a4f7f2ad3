#include "synth/adpcm_b.h"

#include <algorithm>

namespace synth {

namespace {

constexpr uint8_t kRegControl1 = 0x00;
constexpr uint8_t kRegControl2 = 0x01;
constexpr uint8_t kRegStartLow = 0x02;
constexpr uint8_t kRegStartHigh = 0x03;
constexpr uint8_t kRegStopLow = 0x04;
constexpr uint8_t kRegData = 0x08;
constexpr uint8_t kRegDeltaNLow = 0x09;
constexpr uint8_t kRegDeltaNHigh = 0x0A;
constexpr uint8_t kRegLevel = 0x0B;
constexpr uint8_t kRegLimitLow = 0x0C;
constexpr uint8_t kRegFlagControl = 0x10;

constexpr uint8_t kStart = 0x80;
constexpr uint8_t kMemoryData = 0x20;
constexpr uint8_t kRepeat = 0x10;
constexpr uint8_t kSpeakerOff = 0x08;
constexpr uint8_t kReset = 0x01;

constexpr uint8_t kLeft = 0x80;
constexpr uint8_t kRight = 0x40;
constexpr uint8_t kRamX8 = 0x02;
constexpr uint8_t kRom = 0x01;

constexpr uint8_t kFlagReset = 0x80;

// The adaptive step: after a code of magnitude L (its low three bits) the step is multiplied by
// this / 64 (0.9, 0.9, 0.9, 0.9, 1.2, 1.6, 2.0, 2.4 in the manual), kept within 127..24576.
constexpr int32_t kStepScale[8] = {57, 57, 57, 57, 77, 102, 128, 153};
constexpr int32_t kStepMin = 127;
constexpr int32_t kStepMax = 24576;

constexpr uint32_t kPositionOne = 1u << 16;
constexpr float kSampleScale = 1.0f / 32768.0f;
constexpr float kLevelScale = 1.0f / 256.0f;

}  // namespace

AdpcmB::AdpcmB() : memory_(kMemoryBytes, 0) { reset(); }

void AdpcmB::reset() {
    std::fill(std::begin(regs_), std::end(regs_), 0);
    // The limit starts at the top, so that an unset limit does not wrap the address.
    regs_[kRegLimitLow] = 0xFF;
    regs_[kRegLimitLow + 1] = 0xFF;
    addr_ = 0;
    playing_ = false;
    flags_ = kFlagBufferReady;
    position_ = 0;
    previous_ = current_ = 0;
    restartDecoder();
    updateGain();
}

uint32_t AdpcmB::unitShift() const {
    const uint8_t type = regs_[kRegControl2];
    return (type & (kRamX8 | kRom)) ? 5 : 2;
}

uint32_t AdpcmB::unitAddress(int lowReg) const {
    const uint32_t unit = regs_[lowReg + 1] << 8 | regs_[lowReg];
    return unit << unitShift();
}

// The byte after the last of the unit a register pair names.
uint32_t AdpcmB::endAddress(int lowReg) const {
    return (unitAddress(lowReg) + (1u << unitShift())) & (addressSpace() - 1);
}

void AdpcmB::updateGain() {
    const uint8_t control = regs_[kRegControl1];
    const uint8_t pan = regs_[kRegControl2];
    const float gain =
        (control & kSpeakerOff) ? 0.0f : regs_[kRegLevel] * kLevelScale * kSampleScale;
    gainLeft_ = (pan & kLeft) ? gain : 0.0f;
    gainRight_ = (pan & kRight) ? gain : 0.0f;
}

void AdpcmB::restartDecoder() {
    x_ = 0;
    step_ = kStepMin;
    lowNibble_ = false;
}

void AdpcmB::startPlayback() {
    addr_ = unitAddress(kRegStartLow);
    restartDecoder();
    position_ = 0;
    previous_ = current_ = 0;
    playing_ = true;
}

void AdpcmB::write(uint8_t reg, uint8_t value) {
    if (reg > kRegFlagControl) return;
    regs_[reg] = value;
    switch (reg) {
        case kRegControl1:
            if (value & kReset) {
                playing_ = false;
            } else if (value & kStart) {
                // Playback from the sample memory; with memory data clear the CPU would feed the
                // codes through 08, which is not sounded here.
                if (value & kMemoryData) {
                    startPlayback();
                } else {
                    playing_ = false;
                }
            } else {
                playing_ = false;
                if (value & kMemoryData) {
                    addr_ = unitAddress(kRegStartLow);
                    lowNibble_ = false;
                }
            }
            break;
        case kRegControl2:  // the RAM type changes the address units
        case kRegStartLow:
        case kRegStartHigh:
            if (!playing_ && (regs_[kRegControl1] & kMemoryData)) {
                addr_ = unitAddress(kRegStartLow);
            }
            break;
        case kRegData:
            if ((regs_[kRegControl1] & (kMemoryData | kStart)) == kMemoryData) {
                memory_[addr_ & (kMemoryBytes - 1)] = value;
                advanceAddress();
            }
            break;
        case kRegFlagControl:
            if (value & kFlagReset) flags_ &= static_cast<uint8_t>(~kFlagEndOfSample);
            break;
        default:
            break;
    }
    updateGain();
}

uint8_t AdpcmB::flags() const {
    return flags_ & static_cast<uint8_t>(~regs_[kRegFlagControl]) &
           (kFlagEndOfSample | kFlagBufferReady);
}

// One byte on, through the stop address (the end of the sample) and the limit (back to 0).
void AdpcmB::advanceAddress() {
    addr_ = (addr_ + 1) & (addressSpace() - 1);
    if (addr_ == endAddress(kRegStopLow)) {
        flags_ |= kFlagEndOfSample;
        if (playing_) {
            if (regs_[kRegControl1] & kRepeat) {
                addr_ = unitAddress(kRegStartLow);
                restartDecoder();
            } else {
                playing_ = false;
            }
        }
    } else if (addr_ == endAddress(kRegLimitLow)) {
        addr_ = 0;
    }
}

// The manual's decoder: x += (1 - 2 * L4) * (L3 + L2/2 + L1/4 + 1/8) * step, then the step
// scales by the code's magnitude. Codes come high nibble first.
int AdpcmB::decodeNextNibble() {
    const uint8_t byte = memory_[addr_ & (kMemoryBytes - 1)];
    const int code = lowNibble_ ? (byte & 0x0F) : (byte >> 4);
    const int magnitude = code & 7;
    const int32_t diff = ((2 * magnitude + 1) * step_) >> 3;
    x_ = std::clamp<int32_t>((code & 8) ? x_ - diff : x_ + diff, -32768, 32767);
    step_ = std::clamp<int32_t>((step_ * kStepScale[magnitude]) >> 6, kStepMin, kStepMax);
    const int sample = x_;
    if (lowNibble_) {
        lowNibble_ = false;
        advanceAddress();
    } else {
        lowNibble_ = true;
    }
    return sample;
}

StereoSample AdpcmB::next() {
    if (!playing_) return {};
    const uint32_t deltaN = regs_[kRegDeltaNHigh] << 8 | regs_[kRegDeltaNLow];
    position_ += deltaN;
    if (position_ >= kPositionOne) {
        // Delta-N is below 65536: at most one code a chip sample.
        position_ -= kPositionOne;
        previous_ = current_;
        current_ = static_cast<float>(decodeNextNibble());
        if (!playing_) {
            previous_ = current_ = 0;
            return {};
        }
    }
    const float fraction = static_cast<float>(position_) * (1.0f / kPositionOne);
    const float sample = previous_ + (current_ - previous_) * fraction;
    return {sample * gainLeft_, sample * gainRight_};
}

}  // namespace synth
