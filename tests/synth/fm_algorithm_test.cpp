// Algorithms and feedback, seen in the spectrum.
#include <gtest/gtest.h>

#include <cmath>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {

constexpr int kFnum = 1038;
constexpr int kBlock = 4;
const double kFundamental = documentedFrequency(kFnum, kBlock);
constexpr int kSamples = 16384;

// Channel 1 with every operator at multiple 1 and the given levels, keyed on the given operators.
std::vector<float> renderVoice(int algorithm, int feedback, const int totalLevels[4], int slotBits) {
    synth::FmEngine fm;
    setAlgorithm(fm, 0, algorithm, feedback);
    setOutputs(fm, 0, 0xC0);
    for (int op = 0; op < 4; ++op) setOperator(fm, 0, op, {.totalLevel = totalLevels[op]});
    setPitch(fm, 0, kFnum, kBlock);
    setKeys(fm, 0, slotBits);
    return renderLeft(fm, kSamples);
}

// The n-th harmonic's level relative to the fundamental, in dB.
double harmonicDb(const std::vector<float>& samples, int n) {
    return toDb(amplitudeAt(samples, n * kFundamental) / amplitudeAt(samples, kFundamental));
}

constexpr int kAllLoud[4] = {0, 0, 0, 0};

}  // namespace

TEST(FmAlgorithmTest, OneCarrierAloneIsAPureSine) {
    const auto samples = renderVoice(7, 0, kAllLoud, 0x8);
    EXPECT_NEAR(amplitudeAt(samples, kFundamental), 1.0, 0.01);
    for (int n = 2; n <= 6; ++n) EXPECT_LT(harmonicDb(samples, n), -60) << "harmonic " << n;
}

// Which operators sound on their own (carriers) and which are silent (modulators), per algorithm.
TEST(FmAlgorithmTest, EachAlgorithmHasItsDocumentedCarriers) {
    const bool carriers[8][4] = {
        {false, false, false, true}, {false, false, false, true}, {false, false, false, true},
        {false, false, false, true}, {false, true, false, true},  {false, true, true, true},
        {false, true, true, true},   {true, true, true, true},
    };
    for (int algorithm = 0; algorithm < 8; ++algorithm) {
        for (int op = 0; op < 4; ++op) {
            const double level = peak(renderVoice(algorithm, 0, kAllLoud, 1 << op));
            if (carriers[algorithm][op]) {
                EXPECT_NEAR(level, 1.0, 0.01) << "algorithm " << algorithm << " operator " << op + 1;
            } else {
                EXPECT_EQ(level, 0.0) << "algorithm " << algorithm << " operator " << op + 1;
            }
        }
    }
}

// A modulator on a carrier at the same frequency gives sin(wt + b sin wt), whose harmonic n has
// the amplitude J(n-1)(b) + (-1)^n J(n+1)(b). Full scale modulates by 4 cycles (8 pi).
TEST(FmAlgorithmTest, ModulatorOnCarrierGivesTheBesselHarmonics) {
    const auto harmonic = [](int n, double index) {
        return std::fabs(std::cyl_bessel_j(n - 1.0, index) + (n % 2 ? -1 : 1) * std::cyl_bessel_j(n + 1.0, index));
    };
    for (int modulatorLevel : {48, 40, 36}) {
        const int levels[4] = {modulatorLevel, 0, 127, 127};
        const auto samples = renderVoice(4, 0, levels, 0x3);
        const double index = 8 * std::numbers::pi * std::pow(10, -0.75 * modulatorLevel / 20);
        const double expected = harmonic(2, index) / harmonic(1, index);
        const double measured = amplitudeAt(samples, 2 * kFundamental) / amplitudeAt(samples, kFundamental);
        EXPECT_NEAR(measured, expected, std::fabs(expected) * 0.05) << "modulator total level " << modulatorLevel;
    }
}

// Each algorithm chains its operators: with all four sounding at multiple 1 the chained ones add
// harmonics; in algorithm 7 nothing modulates.
TEST(FmAlgorithmTest, ModulationAddsHarmonicsOnlyWhereOperatorsChain) {
    const int levels[4] = {20, 20, 20, 0};
    for (int algorithm = 0; algorithm < 8; ++algorithm) {
        const double second = harmonicDb(renderVoice(algorithm, 0, levels, 0xF), 2);
        if (algorithm == 7) {
            EXPECT_LT(second, -60) << "algorithm " << algorithm;
        } else {
            EXPECT_GT(second, -30) << "algorithm " << algorithm;
        }
    }
}

// The harmonics 2-10 together, relative to the fundamental, in dB.
double harmonicContentDb(const std::vector<float>& samples) {
    double energy = 0;
    for (int n = 2; n <= 10; ++n) energy += std::pow(amplitudeAt(samples, n * kFundamental), 2);
    return toDb(std::sqrt(energy) / amplitudeAt(samples, kFundamental));
}

// Feedback on operator 1: none at 0, then the documented modulation of pi/16, pi/8, ... 4 pi. A
// small feedback b puts harmonic 2 at b/2 of the fundamental; the larger ones approach a sawtooth.
TEST(FmAlgorithmTest, FeedbackModulatesByTheDocumentedAmounts) {
    const int levels[4] = {0, 127, 127, 127};
    EXPECT_LT(harmonicContentDb(renderVoice(7, 0, levels, 0x1)), -60);
    for (int feedback = 1; feedback <= 2; ++feedback) {
        const double index = std::numbers::pi / 16 * (1 << (feedback - 1));
        EXPECT_NEAR(harmonicDb(renderVoice(7, feedback, levels, 0x1), 2), toDb(index / 2), 0.5)
            << "feedback " << feedback;
    }
    double previous = harmonicContentDb(renderVoice(7, 2, levels, 0x1));
    for (int feedback = 3; feedback <= 4; ++feedback) {
        const double content = harmonicContentDb(renderVoice(7, feedback, levels, 0x1));
        EXPECT_GT(content, previous + 3) << "feedback " << feedback;
        previous = content;
    }
    for (int feedback = 5; feedback <= 7; ++feedback) {
        EXPECT_GT(harmonicContentDb(renderVoice(7, feedback, levels, 0x1)), -6) << "feedback " << feedback;
    }
}
