#include "synth/fm_tables.h"

#include <cmath>
#include <numbers>

namespace synth::fm {

namespace {

constexpr int kQuarterSteps = kSineSteps / 4;

// -log2(|sin|) sampled at the middle of each step, so that no entry is the infinite attenuation of
// sin(0); the second half of the cycle is marked negative.
std::array<uint16_t, kSineSteps> makeLogSine() {
    std::array<uint16_t, kSineSteps> table{};
    for (int i = 0; i < kSineSteps; ++i) {
        const int step = i % kQuarterSteps;
        const int inQuarter = (i / kQuarterSteps) % 2 ? kQuarterSteps - 1 - step : step;
        const double angle = (inQuarter + 0.5) * std::numbers::pi / 2 / kQuarterSteps;
        const auto attenuation = static_cast<uint16_t>(std::lround(-std::log2(std::sin(angle)) * kLogUnitsPerOctave));
        table[i] = i >= kSineSteps / 2 ? (attenuation | kNegativeSine) : attenuation;
    }
    return table;
}

// The amplitude 2^(-attenuation/256) at full scale, each octave's fraction computed once and
// halved per whole octave as the chip's exponent does.
std::array<uint16_t, kAudibleLogAttenuation> makeAmplitude() {
    std::array<uint16_t, kAudibleLogAttenuation> table{};
    for (int i = 0; i < kAudibleLogAttenuation; ++i) {
        const int fraction = i % kLogUnitsPerOctave;
        const int octaves = i / kLogUnitsPerOctave;
        const auto mantissa = static_cast<int>(std::lround(kOperatorFullScale * std::exp2(-double(fraction) / kLogUnitsPerOctave)));
        table[i] = static_cast<uint16_t>(mantissa >> octaves);
    }
    return table;
}

}  // namespace

const std::array<uint16_t, kSineSteps> kLogSine = makeLogSine();
const std::array<uint16_t, kAudibleLogAttenuation> kAmplitude = makeAmplitude();

namespace {

// Detune by key code for detune magnitudes 1, 2 and 3, in units of the phase increment.
constexpr uint8_t kDetune[32][3] = {
    {0, 1, 2},  {0, 1, 2},  {0, 1, 2},  {0, 1, 2},  {1, 2, 2},  {1, 2, 3},  {1, 2, 3},   {1, 2, 3},
    {1, 2, 4},  {1, 3, 4},  {1, 3, 4},  {1, 3, 5},  {2, 4, 5},  {2, 4, 6},  {2, 4, 6},   {2, 5, 7},
    {2, 5, 8},  {3, 6, 8},  {3, 6, 9},  {3, 7, 10}, {4, 8, 11}, {4, 8, 12}, {4, 9, 13},  {5, 10, 14},
    {5, 11, 16}, {6, 12, 17}, {6, 13, 19}, {7, 14, 20}, {8, 16, 22}, {8, 16, 22}, {8, 16, 22}, {8, 16, 22},
};

// Which of eight envelope steps advance, for the rate's low two bits: 4, 5, 6 or 7 of eight at the
// slow rates (below 48), and which steps double at the fast ones (48-59). The average increment
// is (1 + m/4) * 2^(rate/4 - 12) per envelope step, doubling every four rates.
constexpr uint8_t kSlowSteps[4][8] = {
    {0, 1, 0, 1, 0, 1, 0, 1},
    {0, 1, 0, 1, 1, 1, 0, 1},
    {0, 1, 1, 1, 0, 1, 1, 1},
    {0, 1, 1, 1, 1, 1, 1, 1},
};
constexpr uint8_t kFastDoubling[4][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 1, 0, 0, 0, 1},
    {0, 1, 0, 1, 0, 1, 0, 1},
    {0, 1, 1, 1, 0, 1, 1, 1},
};
constexpr int kFirstFastRate = 48;
constexpr int kFirstTopRate = 60;
constexpr int kTopRateIncrement = 8;

}  // namespace

int detuneOffset(int detuneCode, int keyCode) {
    const int magnitude = detuneCode & 3;
    if (magnitude == 0) return 0;
    const int amount = kDetune[keyCode & 31][magnitude - 1];
    return (detuneCode & 4) ? -amount : amount;
}

int keyCode(int block, int fnum) {
    const int f11 = (fnum >> 10) & 1;
    const int f10 = (fnum >> 9) & 1;
    const int f9 = (fnum >> 8) & 1;
    const int f8 = (fnum >> 7) & 1;
    const int n3 = (f11 & (f10 | f9 | f8)) | ((f11 ^ 1) & f10 & f9 & f8);
    return (block << 2) | (f11 << 1) | n3;
}

int envelopeIncrement(int rate, uint32_t counter) {
    if (rate < 2) return 0;
    if (rate >= kFirstTopRate) return kTopRateIncrement;
    const int fraction = rate & 3;
    if (rate < kFirstFastRate) {
        const int shift = 11 - (rate >> 2);
        if (counter & ((1u << shift) - 1)) return 0;
        return kSlowSteps[fraction][(counter >> shift) & 7];
    }
    const int base = 1 << ((rate >> 2) - 12);
    return base << kFastDoubling[fraction][counter & 7];
}

}  // namespace synth::fm
