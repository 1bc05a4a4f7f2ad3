// FM pitch: F-number and block, multiple and detune, measured on one sine carrier.
#include <gtest/gtest.h>

#include <cmath>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {

constexpr int kOneSecond = static_cast<int>(kSampleRate);

double carrierFrequency(const OperatorVoice& voice, int fnum, int block, int samples = kOneSecond) {
    synth::FmEngine fm;
    setUpSingleCarrier(fm, voice, fnum, block);
    setKeys(fm, 0, 0x8);
    return zeroCrossingFrequency(renderLeft(fm, samples));
}

// The phase increment per sample of the documented formula, in units of clock/144 / 2^20 Hz.
constexpr double kIncrementHz = kSampleRate / (1 << 20);

}  // namespace

struct PitchCase {
    int fnum;
    int block;
};

class FmPitch : public testing::TestWithParam<PitchCase> {};

TEST_P(FmPitch, FollowsTheDocumentedFormula) {
    const PitchCase c = GetParam();
    const double expected = documentedFrequency(c.fnum, c.block);
    EXPECT_NEAR(carrierFrequency({}, c.fnum, c.block), expected, expected * 0.001)
        << "fnum " << c.fnum << " block " << c.block;
}

INSTANTIATE_TEST_SUITE_P(FmFnumsAndBlocks, FmPitch,
                         testing::Values(PitchCase{1000, 0}, PitchCase{618, 2}, PitchCase{1038, 4},
                                         PitchCase{653, 4}, PitchCase{1200, 5}, PitchCase{300, 3},
                                         PitchCase{2000, 6}, PitchCase{1550, 7}, PitchCase{2047, 1}));

TEST(FmPitchTest, MultipleScalesThePitchAndZeroHalvesIt) {
    const double base = carrierFrequency({}, 1038, 3);
    const struct {
        int multiple;
        double ratio;
    } cases[] = {{0, 0.5}, {1, 1}, {2, 2}, {3, 3}, {7, 7}, {15, 15}};
    for (const auto& c : cases) {
        EXPECT_NEAR(carrierFrequency({.multiple = c.multiple}, 1038, 3) / base, c.ratio, c.ratio * 0.001)
            << "multiple " << c.multiple;
    }
}

// Detune adds (or with bit 2, subtracts) the documented amount for the key code to the phase
// increment before the multiple.
TEST(FmPitchTest, DetuneShiftsByTheDocumentedAmountForTheKeyCode) {
    const struct {
        int fnum, block, detune, multiple;
        int steps;  // documented detune for the key code, in phase increment units
    } cases[] = {
        {1038, 4, 1, 1, 3},   {1038, 4, 2, 1, 6},   {1038, 4, 3, 1, 9},  {1038, 4, 7, 1, -9},
        {2047, 7, 3, 1, 22},  {2047, 7, 5, 1, -8},  {2047, 7, 6, 2, -16}, {600, 2, 2, 4, 2},
        {1038, 4, 4, 1, 0},
    };
    for (const auto& c : cases) {
        const double plain = carrierFrequency({.multiple = c.multiple}, c.fnum, c.block);
        const double detuned = carrierFrequency({.detune = c.detune, .multiple = c.multiple}, c.fnum, c.block);
        const double expected = c.steps * c.multiple * kIncrementHz;
        EXPECT_NEAR(detuned - plain, expected, 0.01 + std::fabs(expected) * 0.02)
            << "fnum " << c.fnum << " block " << c.block << " detune " << c.detune << " (key code "
            << documentedKeyCode(c.fnum, c.block) << ")";
    }
}
