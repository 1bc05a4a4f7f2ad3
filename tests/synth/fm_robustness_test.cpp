// Any register values in any order: the output stays finite and within six channels' full scale.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {

void expectBounded(const synth::StereoSample& s, int step) {
    ASSERT_TRUE(std::isfinite(s.left) && std::isfinite(s.right)) << "step " << step;
    ASSERT_LE(std::fabs(s.left), 6.0f) << "step " << step;
    ASSERT_LE(std::fabs(s.right), 6.0f) << "step " << step;
}

}  // namespace

TEST(FmRobustnessTest, RandomRegisterStreamsGiveFiniteBoundedOutput) {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 random(seed);
        synth::FmEngine fm;
        for (int step = 0; step < 60000; ++step) {
            const int writes = random() % 4;
            for (int w = 0; w < writes; ++w) {
                fm.write(static_cast<int>(random() % 2), static_cast<uint8_t>(0x20 + random() % 0xE0),
                         static_cast<uint8_t>(random()));
            }
            // Keep some voices keyed and audible so that the stream is heard, not only stored.
            if (step % 500 == 0) {
                fm.write(0, 0x29, 0x80);
                fm.write(0, 0x28, static_cast<uint8_t>(0xF0 | (random() % 8)));
            }
            expectBounded(fm.next(), step);
        }
    }
}

TEST(FmRobustnessTest, OutOfRangeBanksAndRegistersChangeNothing) {
    synth::FmEngine fm;
    setUpSingleCarrier(fm, {}, 1038, 4);
    setKeys(fm, 0, 0x8);
    synth::FmEngine reference;
    setUpSingleCarrier(reference, {}, 1038, 4);
    setKeys(reference, 0, 0x8);
    for (int reg = 0; reg < 256; ++reg) {
        fm.write(2, static_cast<uint8_t>(reg), 0xFF);
        fm.write(-1, static_cast<uint8_t>(reg), 0xFF);
    }
    // Registers 3, 7, B of each group name no channel; the timers make no sound.
    for (uint8_t reg : {0x33, 0x47, 0x5B, 0x6F, 0xA3, 0xA7, 0xB3, 0xB7, 0x24, 0x25, 0x26}) fm.write(0, reg, 0xFF);
    const auto a = renderLeft(fm, 4096);
    const auto b = renderLeft(reference, 4096);
    EXPECT_EQ(a, b);
}

TEST(FmRobustnessTest, ResetSilences) {
    synth::FmEngine fm;
    setUpSingleCarrier(fm, {}, 1038, 4);
    setKeys(fm, 0, 0x8);
    EXPECT_GT(peak(renderLeft(fm, 2048)), 0.9);
    fm.reset();
    EXPECT_EQ(peak(renderLeft(fm, 2048)), 0.0);
}
