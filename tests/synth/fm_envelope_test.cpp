// Envelope timing against the documented rates, and key-off from every phase.
#include <gtest/gtest.h>

#include <cmath>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {

// The test pitch: 824 Hz (multiple 15), key code 6, so key scaling adds 6 >> (3 - KS).
constexpr int kFnum = 1038;
constexpr int kBlock = 1;
constexpr int kMultiple = 15;
constexpr int kWindow = 134;  // two periods of the test pitch
constexpr double kDbPerStep = 6.0206 / 64;  // one envelope step; 1024 steps are 96 dB

int keyScaling(int keyScale) { return documentedKeyCode(kFnum, kBlock) >> (3 - keyScale); }

// The documented envelope rates: the envelope advances every 3 samples, by (1 + m/4) * 2^(k - 12)
// steps on average at effective rate 4k + m, doubling every four rates; from rate 60 on, 8 steps.
double stepsPerSecond(int rate) {
    const double perEnvelopeClock = rate >= 60 ? 8 : (1 + (rate & 3) / 4.0) * std::exp2((rate >> 2) - 12);
    return perEnvelopeClock * kSampleRate / 3;
}

// The attack's documented curve: each increment takes ceil((level + 1) * inc / 16) off the
// attenuation. The time from silence (1023) to within limit steps of full level.
double documentedAttackSeconds(int rate, int limit) {
    const int increment = rate >= 48 ? 1 << ((rate >> 2) - 12) : 1;
    int level = 1023;
    int increments = 0;
    while (level > limit) {
        level -= ((level + 1) * increment + 15) / 16;
        ++increments;
    }
    return increments * increment / stepsPerSecond(rate);
}

std::vector<double> renderLevels(synth::FmEngine& fm, double seconds) {
    return levelsDb(renderLeft(fm, static_cast<int>(seconds * kSampleRate)), kWindow);
}

void setUp(synth::FmEngine& fm, const OperatorVoice& voice) {
    OperatorVoice v = voice;
    v.multiple = kMultiple;
    setUpSingleCarrier(fm, v, kFnum, kBlock);
}

}  // namespace

struct RateCase {
    int rateRegister;
    int keyScale;
};

class FmDecayRate : public testing::TestWithParam<RateCase> {};
class FmReleaseRate : public testing::TestWithParam<RateCase> {};
class FmAttackRate : public testing::TestWithParam<RateCase> {};

// Decay from 0 dB with the sustain level at the bottom: the time from -6 to -46 dB.
TEST_P(FmDecayRate, TakesTheDocumentedTime) {
    const RateCase c = GetParam();
    const int rate = 2 * c.rateRegister + keyScaling(c.keyScale);
    const double expected = 40 / kDbPerStep / stepsPerSecond(rate);
    synth::FmEngine fm;
    setUp(fm, {.keyScale = c.keyScale, .decayRate = c.rateRegister, .sustainLevel = 15});
    setKeys(fm, 0, 0x8);
    const auto levels = renderLevels(fm, expected * 1.5 + 0.05);
    const double measured = crossingTime(levels, kWindow, -46, true) - crossingTime(levels, kWindow, -6, true);
    EXPECT_NEAR(measured, expected, expected * 0.05) << "effective rate " << rate;
}

// Release after key-off at full level, RR standing for the rate 2RR + 1.
TEST_P(FmReleaseRate, TakesTheDocumentedTime) {
    const RateCase c = GetParam();
    const int rate = 2 * (2 * c.rateRegister + 1) + keyScaling(c.keyScale);
    const double expected = 40 / kDbPerStep / stepsPerSecond(rate);
    synth::FmEngine fm;
    setUp(fm, {.keyScale = c.keyScale, .releaseRate = c.rateRegister});
    setKeys(fm, 0, 0x8);
    renderLeft(fm, 1000);
    setKeys(fm, 0, 0);
    const auto levels = renderLevels(fm, expected * 1.5 + 0.05);
    const double measured = crossingTime(levels, kWindow, -46, true) - crossingTime(levels, kWindow, -6, true);
    EXPECT_NEAR(measured, expected, expected * 0.05) << "effective rate " << rate;
}

// Attack from silence: the time to come within 10 steps (about 1 dB) of full level.
TEST_P(FmAttackRate, TakesTheDocumentedTime) {
    const RateCase c = GetParam();
    const int rate = 2 * c.rateRegister + keyScaling(c.keyScale);
    const double expected = documentedAttackSeconds(rate, 10);
    synth::FmEngine fm;
    setUp(fm, {.keyScale = c.keyScale, .attackRate = c.rateRegister});
    setKeys(fm, 0, 0x8);
    const auto levels = renderLevels(fm, expected * 1.5 + 0.05);
    const double measured = crossingTime(levels, kWindow, -10 * kDbPerStep, false);
    EXPECT_NEAR(measured, expected, expected * 0.05 + 0.5 * kWindow / kSampleRate) << "effective rate " << rate;
}

// Effective rates 8, 21, 20, 30, 37, 43, 50 and 53 (the test pitch's key code is 6).
INSTANTIATE_TEST_SUITE_P(FmRates, FmDecayRate,
                         testing::Values(RateCase{4, 0}, RateCase{10, 1}, RateCase{7, 3}, RateCase{15, 0},
                                         RateCase{17, 2}, RateCase{20, 2}, RateCase{22, 3}, RateCase{25, 2}));
// Effective rates 18, 27, 34, 45, 50 and 60.
INSTANTIATE_TEST_SUITE_P(FmRates, FmReleaseRate,
                         testing::Values(RateCase{4, 0}, RateCase{6, 1}, RateCase{8, 0}, RateCase{10, 2},
                                         RateCase{12, 0}, RateCase{13, 3}));
// Effective rates 8, 21, 20, 30, 37 and 43.
INSTANTIATE_TEST_SUITE_P(FmRates, FmAttackRate,
                         testing::Values(RateCase{4, 0}, RateCase{10, 1}, RateCase{7, 3}, RateCase{15, 0},
                                         RateCase{17, 2}, RateCase{20, 2}));

TEST(FmEnvelopeTest, RateThirtyOneAttacksAtOnce) {
    synth::FmEngine fm;
    setUp(fm, {.attackRate = 31});
    setKeys(fm, 0, 0x8);
    const auto levels = renderLevels(fm, 0.01);
    EXPECT_GT(levels[0], -0.2);
}

// Key-off goes to the release from the level reached, whatever the phase: the level never rises
// after key-off and falls at the release rate.
TEST(FmEnvelopeTest, KeyOffFromEveryPhaseReleases) {
    const struct {
        const char* phase;
        OperatorVoice voice;
        double keyOffSeconds;
    } cases[] = {
        {"attack", {.attackRate = 9, .releaseRate = 8}, 0.3},
        {"decay", {.decayRate = 6, .sustainLevel = 15, .releaseRate = 8}, 0.3},
        {"sustain", {.decayRate = 20, .sustainRate = 4, .sustainLevel = 3, .releaseRate = 8}, 0.3},
    };
    const int releaseRate = 2 * (2 * 8 + 1);
    const double expectedDbPerSecond = stepsPerSecond(releaseRate) * kDbPerStep;
    for (const auto& c : cases) {
        synth::FmEngine fm;
        setUp(fm, c.voice);
        setKeys(fm, 0, 0x8);
        const auto before = renderLevels(fm, c.keyOffSeconds);
        setKeys(fm, 0, 0);
        const auto after = renderLevels(fm, 0.5);
        const double atKeyOff = before.back();
        EXPECT_LT(atKeyOff, -0.5) << c.phase << ": the phase was under way at key-off";
        EXPECT_GT(atKeyOff, -80) << c.phase;
        for (size_t i = 1; i < after.size(); ++i) ASSERT_LE(after[i], after[i - 1] + 0.3) << c.phase;
        const double t1 = crossingTime(after, kWindow, atKeyOff - 5, true);
        const double t2 = crossingTime(after, kWindow, atKeyOff - 25, true);
        ASSERT_GT(t1, 0) << c.phase;
        ASSERT_GT(t2, 0) << c.phase;
        EXPECT_NEAR(20 / (t2 - t1), expectedDbPerSecond, expectedDbPerSecond * 0.05) << c.phase;
    }
}

// The decay stops at the sustain level, 3 dB a step, and the total level attenuates 0.75 dB a step.
TEST(FmEnvelopeTest, SustainLevelAndTotalLevelStepInDb) {
    for (int sl : {1, 2, 4, 8, 12}) {
        synth::FmEngine fm;
        setUp(fm, {.decayRate = 24, .sustainLevel = sl});
        setKeys(fm, 0, 0x8);
        const auto levels = renderLevels(fm, 0.3);
        EXPECT_NEAR(levels.back(), -3.0 * sl, 0.2) << "sustain level " << sl;
    }
    for (int tl : {1, 4, 8, 16, 32, 64}) {
        synth::FmEngine fm;
        setUp(fm, {.totalLevel = tl});
        setKeys(fm, 0, 0x8);
        const auto samples = renderLeft(fm, 8192);
        EXPECT_NEAR(toDb(amplitudeAt(samples, documentedFrequency(kFnum, kBlock) * kMultiple)), -0.75 * tl,
                    0.05 + 0.005 * tl)
            << "total level " << tl;
    }
}
