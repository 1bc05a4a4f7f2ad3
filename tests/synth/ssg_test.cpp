// The SSG measured on its rendered sound: tone, noise and envelope periods against the YM2608
// application manual's formulas, the mixer's enables, the logarithmic levels, every envelope
// shape, and the register read-back.
#include "synth/ssg.h"
#include "synth/ym2608.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/synth/sound_measure.h"

namespace {

using namespace sound_measure;

std::vector<float> render(synth::Ssg& ssg, size_t frames) {
    std::vector<float> out(frames);
    for (size_t i = 0; i < frames; ++i) {
        const synth::StereoSample s = ssg.next();
        EXPECT_EQ(s.left, s.right);
        out[i] = s.left;
    }
    return out;
}

// The chip's own unipolar output, before the board's coupling capacitor.
std::vector<float> renderChipOutput(synth::Ssg& ssg, size_t frames) {
    return undoDcBlock(render(ssg, frames), synth::Ssg::kDcBlockPole);
}

void setTone(synth::Ssg& ssg, int ch, int period) {
    ssg.write(static_cast<uint8_t>(2 * ch), period & 0xFF);
    ssg.write(static_cast<uint8_t>(2 * ch + 1), (period >> 8) & 0x0F);
}

// The mean spacing of rising edges, from the first to the last.
double meanEdgePeriod(const std::vector<double>& edges) {
    return (edges.back() - edges.front()) / static_cast<double>(edges.size() - 1);
}

struct ToneCase {
    int channel;
    int period;
};

class SsgTonePeriod : public ::testing::TestWithParam<ToneCase> {};

TEST_P(SsgTonePeriod, IsMasterOver64TP) {
    const ToneCase c = GetParam();
    synth::Ssg ssg;
    setTone(ssg, c.channel, c.period);
    ssg.write(7, static_cast<uint8_t>(0x3F & ~(1 << c.channel)));  // this channel's tone only
    ssg.write(static_cast<uint8_t>(8 + c.channel), 15);
    const std::vector<float> out = render(ssg, static_cast<size_t>(kChipRate / 2));
    const std::vector<double> edges = risingEdges(out, 1.0);
    ASSERT_GE(edges.size(), 10u);
    const double expected = 64.0 * c.period / 144.0;  // samples per period
    EXPECT_NEAR(meanEdgePeriod(edges) / expected, 1.0, 0.001) << "TP " << c.period;
}

INSTANTIATE_TEST_SUITE_P(Ssg, SsgTonePeriod,
                         ::testing::Values(ToneCase{0, 20}, ToneCase{1, 101}, ToneCase{2, 284},
                                           ToneCase{0, 1000}, ToneCase{1, 4095}));

class SsgNoisePeriod : public ::testing::TestWithParam<int> {};

// The noise holds its level between shifts of its register, so every edge falls on a whole number
// of shift periods from the last; the shift rate is master / (64 * NP).
TEST_P(SsgNoisePeriod, IsMasterOver64NP) {
    const int np = GetParam();
    synth::Ssg ssg;
    ssg.write(6, static_cast<uint8_t>(np));
    ssg.write(7, 0x37);  // channel A's noise only
    ssg.write(8, 15);
    const std::vector<float> out = renderChipOutput(ssg, static_cast<size_t>(kChipRate));
    const std::vector<double> edges = risingEdges(out, 1.0);
    ASSERT_GE(edges.size(), 200u);
    const double expected = 64.0 * np / 144.0;
    double shifts = 0;
    for (size_t i = 1; i < edges.size(); ++i) {
        shifts += std::round((edges[i] - edges[i - 1]) / expected);
    }
    EXPECT_NEAR((edges.back() - edges.front()) / shifts / expected, 1.0, 0.001) << "NP " << np;
}

INSTANTIATE_TEST_SUITE_P(Ssg, SsgNoisePeriod, ::testing::Values(8, 17, 31));

TEST(SsgNoise, OutputIsNotPeriodicOverShortSpans) {
    synth::Ssg ssg;
    ssg.write(6, 10);
    ssg.write(7, 0x37);
    ssg.write(8, 15);
    const std::vector<float> out = render(ssg, 20000);
    // White-ish noise: no strong component, plenty of movement.
    EXPECT_GT(activity(out, 1000), 0.1);
    for (double f : {500.0, 2000.0, 5000.0}) EXPECT_LT(toneAmplitude(out, f), 0.1) << f;
}

struct MixerCase {
    int channel;
    uint8_t mixer;
    const char* expect;  // "tone", "noise", "both" or "none"
};

class SsgMixer : public ::testing::TestWithParam<MixerCase> {};

TEST_P(SsgMixer, EnablesAreActiveLowAndIoBitsMakeNoSound) {
    const MixerCase c = GetParam();
    const double toneHz = kMasterClock / (64.0 * 100);
    for (uint8_t io : {0x00, 0xC0, 0x40}) {
        synth::Ssg ssg;
        setTone(ssg, c.channel, 100);
        ssg.write(6, 5);
        ssg.write(7, static_cast<uint8_t>(c.mixer | io));
        ssg.write(static_cast<uint8_t>(8 + c.channel), 15);
        const std::vector<float> all = render(ssg, 12000);
        const std::vector<float> out(all.begin() + 4000, all.end());
        const double tone = toneAmplitude(out, toneHz);
        const double moving = activity(out);
        const std::string expect = c.expect;
        SCOPED_TRACE("mixer " + std::to_string(c.mixer | io));
        if (expect == "tone") {
            EXPECT_NEAR(tone, 4 / kPi, 0.05);  // a +-1 square's fundamental
        } else if (expect == "noise") {
            EXPECT_LT(tone, 0.1);
            EXPECT_GT(moving, 0.1);
        } else if (expect == "both") {
            // The channel is tone AND noise: the tone, gated half the time.
            EXPECT_GT(tone, 0.3);
            EXPECT_LT(tone, 1.0);
            EXPECT_GT(moving, 0.1);
        } else {
            EXPECT_LT(moving, 0.001);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ssg, SsgMixer,
    ::testing::Values(MixerCase{0, 0x3E, "tone"}, MixerCase{1, 0x3D, "tone"},
                      MixerCase{2, 0x3B, "tone"}, MixerCase{0, 0x37, "noise"},
                      MixerCase{1, 0x2F, "noise"}, MixerCase{2, 0x1F, "noise"},
                      MixerCase{0, 0x36, "both"}, MixerCase{2, 0x1B, "both"},
                      MixerCase{0, 0x3F, "none"}, MixerCase{1, 0x3F, "none"},
                      // Another channel's enables do not sound this one.
                      MixerCase{0, 0x09, "none"}));

TEST(SsgLevel, FixedLevelsFall3dBAStepAndZeroIsSilent) {
    // With tone and noise off a channel outputs its level: the chip's DC, step by step.
    auto level = [](int value) {
        synth::Ssg ssg;
        ssg.write(7, 0x3F);
        ssg.write(9, static_cast<uint8_t>(value));
        return renderChipOutput(ssg, 100)[50];
    };
    EXPECT_NEAR(level(15), 2.0, 1e-4);  // 0..2: a square at level 15 swings +-1.0 once coupled
    EXPECT_NEAR(level(0), 0.0, 1e-6);
    for (int value = 1; value < 15; ++value) {
        EXPECT_NEAR(level(value) / level(15), std::pow(2.0, (value - 15) / 2.0), 1e-4) << value;
        EXPECT_NEAR(20 * std::log10(level(value) / level(value + 1)), -3.01, 0.01) << value;
    }
    // Bits 5-7 of a level register do nothing.
    EXPECT_FLOAT_EQ(level(0xEA), level(0x0A));
}

TEST(SsgLevel, ToneSwingFollowsTheLevel) {
    const double toneHz = kMasterClock / (64.0 * 100);
    auto swing = [toneHz](int value) {
        synth::Ssg ssg;
        setTone(ssg, 1, 100);
        ssg.write(7, 0x3D);
        ssg.write(9, static_cast<uint8_t>(value));
        const std::vector<float> out = render(ssg, 12000);
        return toneAmplitude(std::vector<float>(out.begin() + 4000, out.end()), toneHz);
    };
    const double top = swing(15);
    EXPECT_NEAR(top, 4 / kPi, 0.01);
    for (int value : {1, 5, 9, 14}) {
        EXPECT_NEAR(swing(value) / top, std::pow(2.0, (value - 15) / 2.0), 0.002) << value;
    }
}

TEST(SsgLevel, TheDcIsBlocked) {
    synth::Ssg ssg;
    ssg.write(7, 0x3F);
    ssg.write(8, 15);
    ssg.write(9, 15);
    ssg.write(10, 15);
    const std::vector<float> out = render(ssg, static_cast<size_t>(kChipRate));
    EXPECT_GT(out[0], 5.0f);  // the step passes
    EXPECT_LT(std::fabs(out.back()), 0.01f);
}

// The documented shape pictures, ramp by ramp: D falls 31..0, U rises 0..31, L holds 0, H holds 31.
const char* shapeRamps(int shape) {
    static const char* const kShapes[16] = {"DLL", "DLL", "DLL", "DLL", "ULL", "ULL",
                                            "ULL", "ULL", "DDD", "DLL", "DUD", "DHH",
                                            "UUU", "UHH", "UDU", "ULL"};
    return kShapes[shape];
}

int expectedEnvelopeLevel(int shape, int step) {
    const char ramp = shapeRamps(shape)[step / 32];
    const int i = step % 32;
    switch (ramp) {
        case 'D': return 31 - i;
        case 'U': return i;
        case 'H': return 31;
        default: return 0;
    }
}

double envelopeOutput(int level) {
    return level == 0 ? 0.0 : 2.0 * std::pow(2.0, (level - 31) / 4.0);
}

synth::Ssg envelopeOnChannelA(int shape) {
    synth::Ssg ssg;
    ssg.write(7, 0x3F);  // no tone, no noise: the channel outputs the envelope's level
    ssg.write(8, 0x10);
    ssg.write(11, 36);   // a step every 36 ticks, 8 samples
    ssg.write(12, 0);
    ssg.write(13, static_cast<uint8_t>(shape));
    return ssg;
}

class SsgEnvelopeShape : public ::testing::TestWithParam<int> {};

// Three ramps of each shape, read in the middle of every step: 32 levels 1.5 dB apart.
TEST_P(SsgEnvelopeShape, FollowsTheDocumentedShape) {
    const int shape = GetParam();
    synth::Ssg ssg = envelopeOnChannelA(shape);
    constexpr int kSteps = 3 * 32;
    const std::vector<float> out = renderChipOutput(ssg, 8 * kSteps + 8);
    for (int step = 0; step < kSteps; ++step) {
        const double expected = envelopeOutput(expectedEnvelopeLevel(shape, step));
        ASSERT_NEAR(out[8 * step + 4], expected, 1e-4) << "shape " << shape << " step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Ssg, SsgEnvelopeShape, ::testing::Range(0, 16));

TEST(SsgEnvelope, WritingTheShapeRestartsIt) {
    synth::Ssg ssg = envelopeOnChannelA(0x0D);  // rise and hold high
    const float before = render(ssg, 8 * 40).back();
    ssg.write(13, 0x0D);  // the same shape again starts from the bottom
    const std::vector<float> out = render(ssg, 8 * 8);
    // The coupled output drops by the whole held level at once, then climbs a step at a time.
    EXPECT_NEAR(out[0] - before, -envelopeOutput(31), 0.01);
    EXPECT_NEAR(out[8 * 7 + 4] - out[4], envelopeOutput(7), 0.01);
}

TEST(SsgEnvelope, FixedLevelChannelsIgnoreIt) {
    synth::Ssg ssg = envelopeOnChannelA(0x08);
    ssg.write(9, 12);
    ssg.write(8, 0);
    const std::vector<float> out = renderChipOutput(ssg, 2000);
    for (size_t n = 1; n < out.size(); ++n) ASSERT_NEAR(out[n], out[0], 1e-4);
}

class SsgEnvelopePeriod : public ::testing::TestWithParam<int> {};

// The repeating falling-edge sawtooth's big drop comes once a ramp: 1024 * EP master clocks.
TEST_P(SsgEnvelopePeriod, RampIs1024EPOverMaster) {
    const int ep = GetParam();
    synth::Ssg ssg;
    ssg.write(7, 0x3F);  // neither tone nor noise: the channel outputs its level
    ssg.write(10, 0x10);
    ssg.write(11, ep & 0xFF);
    ssg.write(12, static_cast<uint8_t>(ep >> 8));
    ssg.write(13, 0x08);  // falling sawtooth: each ramp ends with a jump up
    const std::vector<float> out = renderChipOutput(ssg, static_cast<size_t>(kChipRate));
    const std::vector<double> edges = risingEdges(out, 1.0);
    ASSERT_GE(edges.size(), 5u);
    EXPECT_NEAR(meanEdgePeriod(edges) / (1024.0 * ep / 144.0), 1.0, 0.001) << "EP " << ep;
}

INSTANTIATE_TEST_SUITE_P(Ssg, SsgEnvelopePeriod, ::testing::Values(20, 100, 1000));

TEST(SsgRegisters, ReadBackKeepsTheValidBits) {
    synth::Ssg ssg;
    const uint8_t expected[14] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F,
                                  0xFF, 0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F};
    for (uint8_t reg = 0; reg < 14; ++reg) {
        ssg.write(reg, 0xFF);
        EXPECT_EQ(ssg.read(reg), expected[reg]) << int(reg);
        ssg.write(reg, 0x5A);
        EXPECT_EQ(ssg.read(reg), 0x5A & expected[reg]) << int(reg);
    }
    // I/O ports: an output port reads what was written, an input port its undriven pins.
    ssg.write(7, 0xC0);
    ssg.write(14, 0x12);
    ssg.write(15, 0x34);
    EXPECT_EQ(ssg.read(14), 0x12);
    EXPECT_EQ(ssg.read(15), 0x34);
    ssg.write(7, 0x00);
    EXPECT_EQ(ssg.read(14), 0xFF);
    EXPECT_EQ(ssg.read(15), 0xFF);
    ssg.reset();
    EXPECT_EQ(ssg.read(8), 0);
}

TEST(SsgRobustness, RandomRegisterStreamsStayFiniteAndBounded) {
    std::mt19937 rng(1234);
    synth::Ssg ssg;
    for (int round = 0; round < 200; ++round) {
        const int writes = static_cast<int>(rng() % 8);
        for (int w = 0; w < writes; ++w) {
            ssg.write(static_cast<uint8_t>(rng() % 256), static_cast<uint8_t>(rng()));
            (void)ssg.read(static_cast<uint8_t>(rng()));
        }
        for (int i = 0; i < 200; ++i) {
            const synth::StereoSample s = ssg.next();
            ASSERT_TRUE(std::isfinite(s.left) && std::isfinite(s.right));
            ASSERT_LE(std::fabs(s.left), 12.0f);
        }
    }
}

}  // namespace

namespace {

// The chip routes bank A0 registers 00-0F here: a tone written through it sounds in its output.
TEST(SsgThroughTheChip, BankA0Registers00To0FReachTheSsg) {
    synth::Ym2608 chip;
    chip.write(0, 0x00, 100);
    chip.write(0, 0x07, 0x3E);
    chip.write(0, 0x08, 15);
    const std::vector<float> left = leftChannel(chip, 12000, 4000);
    EXPECT_GT(toneAmplitude(left, kMasterClock / (64.0 * 100)), 0.01);
}

}  // namespace
