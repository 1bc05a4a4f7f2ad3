#include "synth/fm_lfo.h"

#include <array>
#include <cmath>

namespace synth::fm {

namespace {

constexpr int kSteps = 128;
constexpr int kVibratoPeak = 32;

// Samples per LFO step for each frequency setting: 3.98, 5.56, 6.02, 6.37, 6.88, 9.63, 48.1 and
// 72.2 Hz at an 8 MHz clock (128 steps a cycle).
constexpr int kSamplesPerStep[8] = {109, 78, 72, 68, 63, 45, 9, 6};

constexpr double kVibratoCents[8] = {0, 3.4, 6.7, 10, 14, 20, 40, 80};

using VibratoTable = std::array<std::array<int32_t, 2 * kVibratoPeak + 1>, 8>;

VibratoTable makeVibratoTable() {
    VibratoTable table{};
    for (int depth = 0; depth < 8; ++depth) {
        for (int v = -kVibratoPeak; v <= kVibratoPeak; ++v) {
            const double cents = kVibratoCents[depth] * v / kVibratoPeak;
            table[depth][v + kVibratoPeak] =
                static_cast<int32_t>(std::lround((std::exp2(cents / 1200) - 1) * (1 << 20)));
        }
    }
    return table;
}

const VibratoTable kVibrato = makeVibratoTable();

}  // namespace

void Lfo::write(uint8_t value) {
    enabled_ = value & 8;
    samplesPerStep_ = kSamplesPerStep[value & 7];
    if (!enabled_) {
        sampleCount_ = 0;
        position_ = 0;
        updateOutputs();
    }
}

void Lfo::step() {
    if (!enabled_) return;
    if (++sampleCount_ < samplesPerStep_) return;
    sampleCount_ = 0;
    position_ = (position_ + 1) % kSteps;
    updateOutputs();
}

// The tremolo rises from 0 to 126 over the first half of the cycle and falls back over the second;
// the vibrato rises from 0 to the peak in the first quarter, falls to minus the peak by the third,
// and rises back.
void Lfo::updateOutputs() {
    constexpr int kQuarter = kSteps / 4;
    tremolo_ = position_ < kSteps / 2 ? position_ * 2 : (kSteps - 1 - position_) * 2;
    if (position_ < kQuarter) {
        vibrato_ = position_;
    } else if (position_ < 3 * kQuarter) {
        vibrato_ = 2 * kQuarter - position_;
    } else {
        vibrato_ = position_ - kSteps;
    }
}

int32_t vibratoFactor(int pmsDepth, int vibrato) { return kVibrato[pmsDepth & 7][vibrato + kVibratoPeak]; }

}  // namespace synth::fm
