#include "synth/ssg.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>

namespace synth {

namespace {

// Bits the chip keeps of each register (tone coarse 4 bits, noise 5, levels 5, shape 4).
constexpr uint8_t kReadMask[16] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                                   0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};

constexpr uint8_t kRegMixer = 7;
constexpr uint8_t kRegLevelA = 8;
constexpr uint8_t kRegEnvFine = 11;
constexpr uint8_t kRegEnvCoarse = 12;
constexpr uint8_t kRegEnvShape = 13;
constexpr uint8_t kRegPortA = 14;
constexpr uint8_t kLevelUsesEnvelope = 0x10;

// A chip sample is 144 master clocks, a tick 32: 4.5 ticks, counted in half-ticks.
constexpr int kHalfTicksPerSample = 2 * 144 / 32;
static_assert(2 * 144 % 32 == 0);

constexpr int kEnvelopeSteps = 32;
constexpr int kEnvelopeTop = kEnvelopeSteps - 1;

// The envelope's 32 levels fall 1.5 dB a step from the top, level 0 is silent. A fixed level L
// (4 bits) sits at envelope level 2L + 1, so the 16 fixed levels fall 3 dB a step (each a factor
// of 1/sqrt(2), as the YM2149-family data sheets give it) and level 0 is silent too.
const std::array<float, kEnvelopeSteps> kEnvelopeAmplitude = [] {
    std::array<float, kEnvelopeSteps> table{};
    for (int i = 1; i < kEnvelopeSteps; ++i) {
        table[i] = static_cast<float>(std::pow(2.0, (i - kEnvelopeTop) / 4.0));
    }
    return table;
}();

// The high output of a channel: twice its amplitude, so that once the DC is blocked a square wave
// at level 15 swings +-1.0, the peak of one FM channel.
constexpr float kHighLevel = 2.0f;

constexpr float kDenormalFloor = 1e-20f;

}  // namespace

void Ssg::reset() {
    std::fill(std::begin(regs_), std::end(regs_), 0);
    for (int ch = 0; ch < 3; ++ch) {
        tonePeriod_[ch] = 1;
        toneCount_[ch] = 0;
        toneBit_[ch] = 0;
    }
    noisePeriod_ = 2;
    noiseCount_ = 0;
    lfsr_ = 1;
    envPeriod_ = 1;
    halfTicksToTick_ = 2;
    dcIn_ = 0;
    dcOut_ = 0;
    restartEnvelope();
    updateOutput();
}

void Ssg::write(uint8_t reg, uint8_t value) {
    reg &= 0x0F;
    regs_[reg] = value;
    if (reg < 6) {
        const int ch = reg / 2;
        const uint32_t period = (regs_[2 * ch + 1] & 0x0F) << 8 | regs_[2 * ch];
        tonePeriod_[ch] = std::max<uint32_t>(period, 1);
    } else if (reg == 6) {
        noisePeriod_ = 2 * std::max<uint32_t>(value & 0x1F, 1);
    } else if (reg == kRegEnvFine || reg == kRegEnvCoarse) {
        envPeriod_ = std::max<uint32_t>(regs_[kRegEnvCoarse] << 8 | regs_[kRegEnvFine], 1);
    } else if (reg == kRegEnvShape) {
        restartEnvelope();
    }
    updateOutput();
}

uint8_t Ssg::read(uint8_t reg) const {
    reg &= 0x0F;
    if (reg >= kRegPortA) {
        // An I/O port set as input (mixer bit 6 for A, 7 for B clear) reads its pins, which
        // nothing drives here: they read high.
        const bool output = regs_[kRegMixer] >> (6 + (reg - kRegPortA)) & 1;
        return output ? regs_[reg] : 0xFF;
    }
    return regs_[reg] & kReadMask[reg];
}

void Ssg::restartEnvelope() {
    envAttack_ = (regs_[kRegEnvShape] & 0x04) != 0;
    envStep_ = 0;
    envCount_ = 0;
    envHolding_ = false;
    envHeld_ = 0;
    envLevel_ = envAttack_ ? 0 : kEnvelopeTop;
}

void Ssg::stepEnvelope() {
    if (++envStep_ < kEnvelopeSteps) {
        envLevel_ = envAttack_ ? envStep_ : kEnvelopeTop - envStep_;
        return;
    }
    // The end of a ramp: the shape bits decide (continue 3, attack 2, alternate 1, hold 0).
    const uint8_t shape = regs_[kRegEnvShape];
    const bool cont = shape & 0x08;
    const bool alternate = shape & 0x02;
    const bool hold = shape & 0x01;
    if (!cont) {
        envHolding_ = true;
        envHeld_ = 0;
    } else if (hold) {
        envHolding_ = true;
        envHeld_ = envAttack_ ? kEnvelopeTop : 0;
        if (alternate) envHeld_ = kEnvelopeTop - envHeld_;
    } else {
        if (alternate) envAttack_ = !envAttack_;
        envStep_ = 0;
        envLevel_ = envAttack_ ? 0 : kEnvelopeTop;
        return;
    }
    envLevel_ = envHeld_;
}

void Ssg::updateOutput() {
    const uint8_t mixer = regs_[kRegMixer];
    noiseHeard_ = (mixer & 0x38) != 0x38;
    const uint8_t noiseBit = lfsr_ & 1;
    float sum = 0;
    for (int ch = 0; ch < 3; ++ch) {
        // Enables are active low: a disabled source holds its input to the AND high.
        const uint8_t tone = toneBit_[ch] | (mixer >> ch & 1);
        const uint8_t noise = noiseBit | (mixer >> (ch + 3) & 1);
        if (tone & noise) {
            const uint8_t level = regs_[kRegLevelA + ch];
            if (level & kLevelUsesEnvelope) {
                sum += kEnvelopeAmplitude[envLevel_];
            } else if (level & 0x0F) {
                sum += kEnvelopeAmplitude[2 * (level & 0x0F) + 1];
            }
        }
    }
    out_ = sum * kHighLevel;
}

void Ssg::tick() {
    bool changed = false;
    for (int ch = 0; ch < 3; ++ch) {
        if (++toneCount_[ch] >= tonePeriod_[ch]) {
            toneCount_[ch] = 0;
            toneBit_[ch] ^= 1;
            changed = true;
        }
    }
    if (++noiseCount_ >= noisePeriod_) {
        noiseCount_ = 0;
        // 17 bits, fed back from bits 0 and 3; bit 0 is the noise output.
        const uint32_t feedback = (lfsr_ ^ (lfsr_ >> 3)) & 1;
        const uint32_t before = lfsr_ & 1;
        lfsr_ = (lfsr_ >> 1) | (feedback << 16);
        changed |= (lfsr_ & 1) != before;
    }
    if (!envHolding_ && ++envCount_ >= envPeriod_) {
        envCount_ = 0;
        stepEnvelope();
        changed = true;
    }
    if (changed) updateOutput();
}

// Ticks until the next one on which something happens: a tone flips, the noise shifts (while a
// channel listens to it; unheard, its shifts wait) or the envelope steps. A counter already past
// a period just lowered fires on the next tick.
uint32_t Ssg::ticksToEvent() const {
    auto left = [](uint32_t period, uint32_t count) { return period > count ? period - count : 1u; };
    uint32_t ticks = noiseHeard_ ? left(noisePeriod_, noiseCount_) : UINT32_MAX;
    for (int ch = 0; ch < 3; ++ch) ticks = std::min(ticks, left(tonePeriod_[ch], toneCount_[ch]));
    if (!envHolding_) ticks = std::min(ticks, left(envPeriod_, envCount_));
    return ticks;
}

// Ticks on which nothing happens only advance the counters.
void Ssg::skipTicks(uint32_t ticks) {
    for (int ch = 0; ch < 3; ++ch) toneCount_[ch] += ticks;
    noiseCount_ += ticks;
    if (!envHolding_) envCount_ += ticks;
}

StereoSample Ssg::next() {
    // The average of the output over the sample's 4.5 ticks. It changes only on ticks with an
    // event, so the span is walked from event to event.
    float acc = 0;
    int remaining = kHalfTicksPerSample;
    while (remaining > 0) {
        const uint32_t ticks = ticksToEvent();
        const uint64_t untilEvent = halfTicksToTick_ + 2 * static_cast<uint64_t>(ticks - 1);
        if (untilEvent > static_cast<uint64_t>(remaining)) {
            acc += out_ * static_cast<float>(remaining);
            if (remaining >= halfTicksToTick_) {
                const int after = remaining - halfTicksToTick_;
                skipTicks(static_cast<uint32_t>(1 + after / 2));
                halfTicksToTick_ = 2 - after % 2;
            } else {
                halfTicksToTick_ -= remaining;
            }
            break;
        }
        acc += out_ * static_cast<float>(untilEvent);
        remaining -= static_cast<int>(untilEvent);
        skipTicks(ticks - 1);
        tick();
        halfTicksToTick_ = 2;
    }
    const float x = acc * (1.0f / kHalfTicksPerSample);
    float y = x - dcIn_ + Ssg::kDcBlockPole * dcOut_;
    if (std::fabs(y) < kDenormalFloor) y = 0;
    dcIn_ = x;
    dcOut_ = y;
    return {y, y};
}

}  // namespace synth
