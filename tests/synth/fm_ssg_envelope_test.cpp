// SSG-type envelopes (90-9F): the decay to -48 dB repeated, alternated, held, or inverted.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {
constexpr int kWindow = 134;  // two periods of the 824 Hz test pitch
}

TEST(FmSsgEnvelopeTest, ShapesStartRepeatAndHoldAsDocumented) {
    enum class End { Silent, Loud, Cycling };
    const struct {
        int shape;
        bool startsLoud;
        End end;
    } cases[] = {
        {0x8, true, End::Cycling},  {0x9, true, End::Silent},   {0xA, true, End::Cycling},
        {0xB, true, End::Loud},     {0xC, false, End::Cycling}, {0xD, false, End::Loud},
        {0xE, false, End::Cycling}, {0xF, false, End::Silent},
    };
    for (const auto& c : cases) {
        synth::FmEngine fm;
        // Decay rate 20: one pass from 0 to -48 dB takes about 28 ms.
        setUpSingleCarrier(fm, {.multiple = 15, .decayRate = 20, .sustainLevel = 15, .ssg = c.shape}, 1038, 1);
        setKeys(fm, 0, 0x8);
        const auto levels = levelsDb(renderLeft(fm, static_cast<int>(0.3 * kSampleRate)), kWindow);
        EXPECT_NEAR(levels[0], c.startsLoud ? -1.5 : -46.5, 2.5) << "shape " << c.shape;
        const std::vector<double> tail(levels.end() - 40, levels.end());
        const auto [low, high] = std::minmax_element(tail.begin(), tail.end());
        switch (c.end) {
            case End::Silent:
                EXPECT_LT(*high, -100) << "shape " << c.shape;
                break;
            case End::Loud:
                EXPECT_GT(*low, -0.5) << "shape " << c.shape;
                break;
            case End::Cycling:
                EXPECT_GT(*high, -3) << "shape " << c.shape;
                EXPECT_LT(*low, -40) << "shape " << c.shape;
                break;
        }
    }
}

// The alternating shapes turn round without a jump; the repeating ones restart at full level.
TEST(FmSsgEnvelopeTest, AlternatingShapesTurnRoundSmoothly) {
    for (int shape : {0x8, 0xA}) {
        synth::FmEngine fm;
        setUpSingleCarrier(fm, {.multiple = 15, .decayRate = 20, .sustainLevel = 15, .ssg = shape}, 1038, 1);
        setKeys(fm, 0, 0x8);
        const auto levels = levelsDb(renderLeft(fm, static_cast<int>(0.2 * kSampleRate)), kWindow);
        double largestRise = 0;
        for (size_t i = 1; i < levels.size(); ++i) largestRise = std::max(largestRise, levels[i] - levels[i - 1]);
        if (shape == 0x8) {
            EXPECT_GT(largestRise, 30) << "shape " << shape;
        } else {
            EXPECT_LT(largestRise, 8) << "shape " << shape;
        }
    }
}
