// The LFO: tremolo and vibrato depths per channel sensitivity, and its frequencies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {

// 3.5 kHz: short level windows follow even the fastest LFO.
constexpr int kFnum = 1038;
constexpr int kBlock = 7;
constexpr int kWindow = 32;

// One carrier on channel 1 with the LFO at frequency setting lfoRate.
std::vector<float> renderWithLfo(int lfoRate, int ams, int pms, bool am, double seconds) {
    synth::FmEngine fm;
    setUpSingleCarrier(fm, {.am = am}, kFnum, kBlock);
    setOutputs(fm, 0, 0xC0, ams, pms);
    fm.write(0, 0x22, uint8_t(0x08 | lfoRate));
    setKeys(fm, 0, 0x8);
    return renderLeft(fm, static_cast<int>(seconds * kSampleRate));
}

// Peak levels of a sampled sine vary by up to 0.2 dB from window to window.
double tremoloDepthDb(const std::vector<float>& samples) {
    const auto levels = levelsDb(samples, kWindow);
    const auto [low, high] = std::minmax_element(levels.begin(), levels.end());
    return *high - *low;
}

// The pitch over windows of the given length, as the largest deviation from the mean in cents.
double vibratoDepthCents(const std::vector<float>& samples, int window) {
    std::vector<double> pitches;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        pitches.push_back(zeroCrossingFrequency(samples, start, start + window));
    }
    double mean = 0;
    for (double p : pitches) mean += p / pitches.size();
    double deviation = 0;
    for (double p : pitches) deviation = std::max(deviation, std::fabs(1200 * std::log2(p / mean)));
    return deviation;
}

}  // namespace

TEST(FmLfoTest, TremoloDepthFollowsTheChannelSensitivity) {
    const double documentedDb[4] = {0, 1.4, 5.9, 11.8};
    for (int ams = 0; ams < 4; ++ams) {
        EXPECT_NEAR(tremoloDepthDb(renderWithLfo(0, ams, 0, true, 0.3)), documentedDb[ams], 0.2) << "AMS " << ams;
    }
    EXPECT_LT(tremoloDepthDb(renderWithLfo(0, 3, 0, false, 0.3)), 0.2) << "operator AM off";
}

TEST(FmLfoTest, VibratoDepthFollowsTheChannelSensitivity) {
    const double documentedCents[8] = {0, 3.4, 6.7, 10, 14, 20, 40, 80};
    const int window = static_cast<int>(0.004 * kSampleRate);
    for (int pms = 0; pms < 8; ++pms) {
        const double measured = vibratoDepthCents(renderWithLfo(0, 0, pms, false, 0.52), window);
        EXPECT_NEAR(measured, documentedCents[pms], 0.3 + documentedCents[pms] * 0.07) << "PMS " << pms;
    }
}

// The documented LFO frequencies are for an 8 MHz clock; they scale with the clock.
TEST(FmLfoTest, RunsAtTheDocumentedFrequencies) {
    const double documentedHz[8] = {3.98, 5.56, 6.02, 6.37, 6.88, 9.63, 48.1, 72.2};
    for (int rate = 0; rate < 8; ++rate) {
        const double expected = documentedHz[rate] * kClock / 8e6;
        const auto levels = levelsDb(renderWithLfo(rate, 3, 0, true, 8 / expected), kWindow);
        std::vector<float> centred;
        double mean = 0;
        for (double l : levels) mean += l / levels.size();
        for (double l : levels) centred.push_back(static_cast<float>(l - mean));
        const double measured = zeroCrossingFrequency(centred) / kWindow;
        EXPECT_NEAR(measured, expected, expected * 0.02) << "LFO frequency " << rate;
    }
}

TEST(FmLfoTest, DisabledLfoLeavesTheSoundAlone) {
    synth::FmEngine fm;
    setUpSingleCarrier(fm, {.am = true}, kFnum, kBlock);
    setOutputs(fm, 0, 0xC0, 3, 7);
    fm.write(0, 0x22, 0x07);
    setKeys(fm, 0, 0x8);
    const auto samples = renderLeft(fm, static_cast<int>(0.3 * kSampleRate));
    EXPECT_LT(tremoloDepthDb(samples), 0.2);
    EXPECT_LT(vibratoDepthCents(samples, static_cast<int>(0.004 * kSampleRate)), 0.3);
}
