// Channel routing: stereo bits, channels 4-6 behind register 29, channel 3's special mode.
#include <gtest/gtest.h>

#include <cmath>

#include "support/fm_signal.h"

using namespace fmtest;

namespace {

constexpr int kFnum = 1038;
constexpr int kBlock = 4;

// Channel `channel` as one sine carrier (operator 4 of algorithm 7), keyed on.
void setUpSine(synth::FmEngine& fm, int channel, int outputs) {
    setAlgorithm(fm, channel, 7);
    setOutputs(fm, channel, outputs);
    for (int op = 0; op < 3; ++op) setOperator(fm, channel, op, {.totalLevel = 127});
    setOperator(fm, channel, 3, {});
    setPitch(fm, channel, kFnum, kBlock);
    setKeys(fm, channel, 0x8);
}

}  // namespace

TEST(FmChannelsTest, StereoBitsSilenceASide) {
    const struct {
        int outputs;
        bool left, right;
    } cases[] = {{0xC0, true, true}, {0x80, true, false}, {0x40, false, true}, {0x00, false, false}};
    for (const auto& c : cases) {
        for (int channel : {0, 4}) {
            synth::FmEngine fm;
            fm.write(0, 0x29, 0x80);
            setUpSine(fm, channel, c.outputs);
            const Rendered out = render(fm, 4096);
            EXPECT_EQ(peak(out.left) > 0.9, c.left) << "outputs " << c.outputs << " channel " << channel + 1;
            EXPECT_EQ(peak(out.right) > 0.9, c.right) << "outputs " << c.outputs << " channel " << channel + 1;
            if (!c.left) {
                EXPECT_EQ(peak(out.left), 0.0);
            }
            if (!c.right) {
                EXPECT_EQ(peak(out.right), 0.0);
            }
        }
    }
}

TEST(FmChannelsTest, ChannelsFourToSixSoundOnlyWithRegister29Bit7) {
    for (int channel = 3; channel < 6; ++channel) {
        synth::FmEngine fm;
        setUpSine(fm, channel, 0xC0);
        EXPECT_EQ(peak(renderLeft(fm, 4096)), 0.0) << "channel " << channel + 1;
        fm.write(0, 0x29, 0x80);
        EXPECT_GT(peak(renderLeft(fm, 4096)), 0.9) << "channel " << channel + 1;
        fm.write(0, 0x29, 0x00);
        EXPECT_EQ(peak(renderLeft(fm, 4096)), 0.0) << "channel " << channel + 1;
    }
}

TEST(FmChannelsTest, EachChannelSoundsAtItsOwnPitch) {
    synth::FmEngine fm;
    fm.write(0, 0x29, 0x80);
    for (int channel = 0; channel < 6; ++channel) {
        setUpSine(fm, channel, 0xC0);
        setPitch(fm, channel, 500 + 200 * channel, 4);
    }
    const auto samples = renderLeft(fm, 16384);
    for (int channel = 0; channel < 6; ++channel) {
        EXPECT_NEAR(amplitudeAt(samples, documentedFrequency(500 + 200 * channel, 4)), 1.0, 0.02)
            << "channel " << channel + 1;
    }
}

// In special mode (27 bits 6-7 = 01, or 10 for CSM) channel 3's operators 1-3 take their
// frequencies from A9/AD, AA/AE and A8/AC; operator 4 keeps A2/A6.
TEST(FmChannelsTest, ChannelThreeSpecialModeGivesEachOperatorItsPitch) {
    const struct {
        uint8_t low, high;
        int fnum, block;
    } perOperator[4] = {{0xA9, 0xAD, 600, 4}, {0xAA, 0xAE, 800, 4}, {0xA8, 0xAC, 1000, 4}, {0xA2, 0xA6, 1200, 4}};
    for (uint8_t mode : {0x40, 0x80, 0x00}) {
        synth::FmEngine fm;
        fm.write(0, 0x27, mode);
        setAlgorithm(fm, 2, 7);
        setOutputs(fm, 2, 0xC0);
        for (int op = 0; op < 4; ++op) setOperator(fm, 2, op, {.totalLevel = 24});  // the four together stay below full scale
        for (const auto& p : perOperator) {
            fm.write(0, p.high, uint8_t((p.block << 3) | (p.fnum >> 8)));
            fm.write(0, p.low, uint8_t(p.fnum & 0xFF));
        }
        setKeys(fm, 2, 0xF);
        const auto samples = renderLeft(fm, 16384);
        const double level = std::pow(10, -0.75 * 24 / 20);
        for (int op = 0; op < 4; ++op) {
            const bool own = mode != 0 || op == 3;
            const double frequency = documentedFrequency(perOperator[op].fnum, perOperator[op].block);
            EXPECT_NEAR(amplitudeAt(samples, frequency), own ? (mode != 0 ? level : 4 * level) : 0,
                        0.02)
                << "mode " << int(mode) << " operator " << op + 1;
        }
    }
}

TEST(FmChannelsTest, KeyRegisterAddressesChannelsByCode) {
    const struct {
        int code;
        int channel;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {4, 3}, {5, 4}, {6, 5}};
    for (const auto& c : cases) {
        synth::FmEngine fm;
        fm.write(0, 0x29, 0x80);
        for (int channel = 0; channel < 6; ++channel) {
            setAlgorithm(fm, channel, 7);
            setOutputs(fm, channel, 0xC0);
            for (int op = 0; op < 4; ++op) setOperator(fm, channel, op, {});
            setPitch(fm, channel, 400 + 150 * channel, 4);
        }
        fm.write(0, 0x28, uint8_t(0x80 | c.code));
        fm.write(0, 0x28, 0xF3);  // code 3 names no channel
        fm.write(0, 0x28, 0xF7);  // nor does 7
        const auto samples = renderLeft(fm, 16384);
        for (int channel = 0; channel < 6; ++channel) {
            const double level = amplitudeAt(samples, documentedFrequency(400 + 150 * channel, 4));
            EXPECT_NEAR(level, channel == c.channel ? 1.0 : 0.0, 0.02) << "code " << c.code << " channel " << channel + 1;
        }
    }
}
