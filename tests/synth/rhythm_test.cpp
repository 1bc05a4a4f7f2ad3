// The rhythm part's substitutes measured on their sound: each instrument sounds when keyed, with
// its own brightness and length, then stops; levels step 0.75 dB, pan bits route, dump silences.
#include "synth/rhythm.h"
#include "synth/ym2608.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "tests/synth/sound_measure.h"

namespace {

using namespace sound_measure;

struct Render {
    std::vector<float> left, right;
};

Render render(synth::Rhythm& rhythm, double seconds) {
    Render out;
    const size_t frames = static_cast<size_t>(seconds * kChipRate);
    for (size_t i = 0; i < frames; ++i) {
        const synth::StereoSample s = rhythm.next();
        out.left.push_back(s.left);
        out.right.push_back(s.right);
    }
    return out;
}

synth::Rhythm keyed(int instrument, uint8_t totalLevel = 63, uint8_t control = 0xDF) {
    synth::Rhythm rhythm;
    rhythm.write(0x11, totalLevel);
    rhythm.write(static_cast<uint8_t>(0x18 + instrument), control);
    rhythm.write(0x10, static_cast<uint8_t>(1 << instrument));
    return rhythm;
}

double crossingsPerSecond(const std::vector<float>& x, size_t begin, size_t end) {
    int crossings = 0;
    for (size_t n = begin + 1; n < end; ++n) crossings += (x[n - 1] < 0) != (x[n] < 0);
    return crossings * kChipRate / static_cast<double>(end - begin);
}

// Seconds until the sound's 10 ms RMS stays below 1% (-40 dB) of its peak.
double decaySeconds(const std::vector<float>& x) {
    float peak = 0;
    for (float v : x) peak = std::max(peak, std::fabs(v));
    const size_t window = static_cast<size_t>(kChipRate * 0.01);
    double last = 0;
    for (size_t n = 0; n + window <= x.size(); n += window) {
        if (rms(x, n, n + window) > 0.01 * peak) last = static_cast<double>(n + window) / kChipRate;
    }
    return last;
}

struct Instrument {
    int bit;
    const char* name;
    double minCrossings, maxCrossings;  // per second over the first 30 ms: how bright
    double minDecay, maxDecay;          // seconds to -40 dB
    bool sweepsDown;                    // a drum's pitch falls
};

class RhythmInstrument : public ::testing::TestWithParam<Instrument> {};

TEST_P(RhythmInstrument, SoundsWhenKeyedWithItsOwnCharacterThenStops) {
    const Instrument c = GetParam();
    SCOPED_TRACE(c.name);
    synth::Rhythm rhythm = keyed(c.bit);
    EXPECT_TRUE(rhythm.sounding(c.bit));
    const Render out = render(rhythm, 4.0);
    const size_t first30ms = static_cast<size_t>(kChipRate * 0.03);

    // Loud at once, and its loudest near 1.0.
    EXPECT_GT(rms(out.left, 0, first30ms), 0.1);
    float peak = 0;
    for (float v : out.left) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.7f);
    EXPECT_LT(peak, 1.2f);
    EXPECT_EQ(out.left, out.right);  // pan 0xC0: centred

    const double crossings = crossingsPerSecond(out.left, 0, first30ms);
    EXPECT_GE(crossings, c.minCrossings);
    EXPECT_LE(crossings, c.maxCrossings);
    const double decay = decaySeconds(out.left);
    EXPECT_GE(decay, c.minDecay);
    EXPECT_LE(decay, c.maxDecay);
    if (c.sweepsDown) {
        const size_t at100ms = static_cast<size_t>(kChipRate * 0.1);
        EXPECT_GT(crossingsPerSecond(out.left, 0, at100ms / 5),
                  1.3 * crossingsPerSecond(out.left, at100ms, 2 * at100ms));
    }

    // Faded out: the voice stops, the output is silent.
    EXPECT_FALSE(rhythm.sounding(c.bit));
    EXPECT_EQ(rhythm.next().left, 0.0f);
    for (int other = 0; other < synth::Rhythm::kInstruments; ++other) {
        EXPECT_FALSE(rhythm.sounding(other));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rhythm, RhythmInstrument,
    ::testing::Values(Instrument{0, "bass drum", 0, 400, 0.2, 1.0, true},
                      Instrument{1, "snare", 3000, 20000, 0.1, 0.6, false},
                      Instrument{2, "top cymbal", 15000, 50000, 0.6, 2.5, false},
                      Instrument{3, "hi-hat", 15000, 50000, 0.05, 0.4, false},
                      Instrument{4, "tom", 250, 1000, 0.2, 1.2, true},
                      Instrument{5, "rim shot", 1500, 6000, 0.02, 0.15, false}));

struct LevelCase {
    uint8_t totalLevel;
    uint8_t instrumentLevel;
    double expectedDb;  // relative to both at their loudest
};

class RhythmLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(RhythmLevel, TotalAndInstrumentLevelsStep0_75dB) {
    const LevelCase c = GetParam();
    for (int instrument : {0, 3}) {  // a tone and a noise
        synth::Rhythm loud = keyed(instrument);
        synth::Rhythm quiet = keyed(instrument, c.totalLevel, static_cast<uint8_t>(0xC0 | c.instrumentLevel));
        const Render a = render(loud, 0.1);
        const Render b = render(quiet, 0.1);
        const double db = 20 * std::log10(rms(b.left, 0, b.left.size()) / rms(a.left, 0, a.left.size()));
        EXPECT_NEAR(db, c.expectedDb, 0.01) << "instrument " << instrument;
    }
}

INSTANTIATE_TEST_SUITE_P(Rhythm, RhythmLevel,
                         ::testing::Values(LevelCase{62, 31, -0.75}, LevelCase{55, 31, -6.0},
                                           LevelCase{63, 30, -0.75}, LevelCase{63, 15, -12.0},
                                           LevelCase{43, 21, -22.5}, LevelCase{0, 0, -70.5},
                                           // bits above the level fields do nothing
                                           LevelCase{0xC0 | 63, 31, 0.0}));

struct PanCase {
    uint8_t pan;
    bool left, right;
};

class RhythmPan : public ::testing::TestWithParam<PanCase> {};

TEST_P(RhythmPan, PanBitsRouteEachInstrument) {
    const PanCase c = GetParam();
    synth::Rhythm rhythm = keyed(1, 63, static_cast<uint8_t>(c.pan | 31));
    const Render out = render(rhythm, 0.05);
    EXPECT_EQ(rms(out.left, 0, out.left.size()) > 0.05, c.left);
    EXPECT_EQ(rms(out.right, 0, out.right.size()) > 0.05, c.right);
    EXPECT_EQ(rms(out.left, 0, out.left.size()) == 0, !c.left);
    EXPECT_EQ(rms(out.right, 0, out.right.size()) == 0, !c.right);
}

INSTANTIATE_TEST_SUITE_P(Rhythm, RhythmPan,
                         ::testing::Values(PanCase{0xC0, true, true}, PanCase{0x80, true, false},
                                           PanCase{0x40, false, true}, PanCase{0x00, false, false}));

TEST(RhythmKey, DumpSilencesOnlyTheInstrumentsNamed) {
    synth::Rhythm rhythm;
    rhythm.write(0x11, 63);
    for (uint8_t reg = 0x18; reg < 0x1E; ++reg) rhythm.write(reg, 0xDF);
    rhythm.write(0x10, 0x01);  // bass drum
    synth::Rhythm alone = rhythm;
    rhythm.write(0x10, 0x02);  // and snare: each key-on adds an instrument
    render(rhythm, 0.02);
    render(alone, 0.02);
    rhythm.write(0x10, 0x82);  // dump the snare
    render(rhythm, 0.02);
    render(alone, 0.02);
    EXPECT_FALSE(rhythm.sounding(1));
    EXPECT_TRUE(rhythm.sounding(0));
    // What remains is the bass drum alone, sample for sample.
    const Render a = render(rhythm, 0.05);
    const Render b = render(alone, 0.05);
    EXPECT_EQ(a.left, b.left);

    rhythm.write(0x10, 0xBF);  // dump everything
    const Render after = render(rhythm, 0.02);
    EXPECT_LT(rms(after.left, after.left.size() / 2, after.left.size()), 1e-6);
    EXPECT_FALSE(rhythm.sounding(0));
}

TEST(RhythmKey, KeyingAgainRestartsTheSound) {
    synth::Rhythm fresh = keyed(4);
    synth::Rhythm again = keyed(4);
    render(again, 0.3);
    again.write(0x10, 0x10);
    const Render a = render(fresh, 0.1);
    const Render b = render(again, 0.1);
    // The tone restarts from its start: the same sweep (the noise share differs in its draw).
    EXPECT_NEAR(rms(b.left, 0, b.left.size()), rms(a.left, 0, a.left.size()), 0.01);
    EXPECT_NEAR(crossingsPerSecond(b.left, 0, b.left.size()),
                crossingsPerSecond(a.left, 0, a.left.size()), 40);
}

TEST(RhythmRobustness, RandomRegisterStreamsStayFiniteAndBounded) {
    std::mt19937 rng(7);
    synth::Rhythm rhythm;
    for (int round = 0; round < 300; ++round) {
        const int writes = static_cast<int>(rng() % 5);
        for (int w = 0; w < writes; ++w) {
            rhythm.write(static_cast<uint8_t>(rng() % 0x30), static_cast<uint8_t>(rng()));
        }
        for (int i = 0; i < 300; ++i) {
            const synth::StereoSample s = rhythm.next();
            ASSERT_TRUE(std::isfinite(s.left) && std::isfinite(s.right));
            ASSERT_LE(std::fabs(s.left), 7.5f);
            ASSERT_LE(std::fabs(s.right), 7.5f);
        }
    }
}

}  // namespace

namespace {

// The chip routes bank A0 registers 10-1F here: a keyed instrument sounds in its output.
TEST(RhythmThroughTheChip, BankA0Registers10To1FReachTheRhythm) {
    synth::Ym2608 chip;
    chip.write(0, 0x11, 63);
    chip.write(0, 0x18, 0xDF);
    chip.write(0, 0x10, 0x01);
    const std::vector<float> left = leftChannel(chip, 2000);
    EXPECT_GT(rms(left, 0, left.size()), 0.01);
}

}  // namespace
