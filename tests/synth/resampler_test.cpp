// The resampler from the chip's rate (7987200 / 144 Hz) to 44100 and 48000 Hz: tones in the passband
// keep their level, tones above the output's Nyquist frequency are gone, and the frame counts are
// exact over long runs.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "synth/chip_renderer.h"
#include "synth/resampler.h"

namespace {

constexpr uint64_t kClock = 7987200;
constexpr uint64_t kDivider = 144;
constexpr double kChipRate = static_cast<double>(kClock) / kDivider;
constexpr double kPi = 3.14159265358979323846;

struct Tone {
    double gainDb;      // the output's level against the input's, for the tone's own frequency
    double residualDb;  // everything else in the output against the input's level
};

// Resamples a sine of `hz` at the chip rate and fits a sine and cosine of the same frequency to
// the output, after the filter has filled.
Tone resampleTone(uint32_t outputRate, double hz, size_t outputFrames = 16384) {
    synth::Resampler resampler(kClock, kDivider, outputRate);
    std::vector<float> in;
    std::vector<float> out(2 * outputFrames);
    uint64_t inputAt = 0;
    for (size_t done = 0; done < outputFrames;) {
        const size_t block = std::min<size_t>(1000, outputFrames - done);
        const size_t need = resampler.inputNeeded(block);
        in.resize(2 * need);
        for (size_t i = 0; i < need; ++i, ++inputAt) {
            const float v = static_cast<float>(0.5 * std::sin(2 * kPi * hz * static_cast<double>(inputAt) / kChipRate));
            in[2 * i] = v;
            in[2 * i + 1] = -v;
        }
        resampler.process(in.data(), need, &out[2 * done], block);
        done += block;
    }
    const size_t skip = resampler.taps() * 2;
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0, yy = 0;
    for (size_t n = skip; n < outputFrames; ++n) {
        const double w = 2 * kPi * hz * static_cast<double>(n) / outputRate;
        const double s = std::sin(w), c = std::cos(w), y = out[2 * n];
        EXPECT_FLOAT_EQ(out[2 * n + 1], -out[2 * n]);
        ss += s * s, sc += s * c, cc += c * c, ys += y * s, yc += y * c, yy += y * y;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det;
    const double b = (yc * ss - ys * sc) / det;
    const double count = static_cast<double>(outputFrames - skip);
    const double fittedPower = (a * a * ss + 2 * a * b * sc + b * b * cc) / count;
    const double residualPower = std::max(yy / count - fittedPower, 1e-30);
    const double inputPower = 0.125;  // a sine of amplitude 0.5
    return {10 * std::log10(std::max(fittedPower, 1e-30) / inputPower), 10 * std::log10(residualPower / inputPower)};
}

// Everything in the output against the input, for a tone that must not come through at all.
double totalLevelDb(uint32_t outputRate, double hz) {
    const Tone tone = resampleTone(outputRate, hz);
    return 10 * std::log10(std::pow(10, tone.gainDb / 10) + std::pow(10, tone.residualDb / 10));
}

TEST(Resampler, TonesUpTo20kHzKeepTheirLevelWithinATenthOfADecibel) {
    for (uint32_t rate : {44100u, 48000u}) {
        for (double hz : {50.0, 440.0, 1000.0, 5000.0, 10000.0, 15000.0, 18000.0, 19500.0, 20000.0}) {
            const Tone tone = resampleTone(rate, hz);
            EXPECT_LT(std::fabs(tone.gainDb), 0.1) << rate << " Hz out, " << hz << " Hz";
            EXPECT_LT(tone.residualDb, -60) << rate << " Hz out, " << hz << " Hz";
        }
    }
}

TEST(Resampler, TonesAboveTheOutputNyquistFrequencyAreAttenuatedBy60dB) {
    for (double hz : {22100.0, 23000.0, 25000.0, 27700.0}) EXPECT_LT(totalLevelDb(44100, hz), -60) << hz;
    for (double hz : {24050.0, 25000.0, 27700.0}) EXPECT_LT(totalLevelDb(48000, hz), -60) << hz;
}

TEST(Resampler, AConstantPassesExactly) {
    synth::Resampler resampler(kClock, kDivider, 44100);
    std::vector<float> in(2 * 8192, 0.25f), out(2 * 4000);
    const size_t need = resampler.inputNeeded(4000);
    resampler.process(in.data(), need, out.data(), 4000);
    for (size_t n = resampler.taps(); n < 4000; ++n) EXPECT_NEAR(out[2 * n], 0.25f, 1e-6f) << n;
}

// Output frame n uses input frames up to floor(n * 1664 / 1323) at 44100 Hz (52 / 45 at 48000 Hz):
// after any mix of block sizes the input taken is exactly that, with nothing gained or lost.
TEST(Resampler, FrameCountsAreExactOverLongRuns) {
    for (uint32_t rate : {44100u, 48000u}) {
        synth::Resampler resampler(kClock, kDivider, rate);
        const uint64_t p = rate == 44100 ? 1664 : 52, q = rate == 44100 ? 1323 : 45;
        std::vector<float> in, out(2 * synth::Resampler::kMaxBlock);
        const size_t sizes[] = {1, 4096, 7, 1323, 333, 4095, 2, 1000};
        uint64_t produced = 0, consumed = 0;
        for (size_t i = 0; produced < 1'000'000; ++i) {
            const size_t block = sizes[i % std::size(sizes)];
            const size_t need = resampler.inputNeeded(block);
            in.assign(2 * need, 0.0f);
            resampler.process(in.data(), need, out.data(), block);
            produced += block;
            consumed += need;
            ASSERT_EQ(consumed, (produced - 1) * p / q + 1) << rate << " after " << produced;
        }
    }
    EXPECT_EQ(synth::Resampler(kClock, kDivider, 44100).phases(), 1323u);
    EXPECT_EQ(synth::Resampler(kClock, kDivider, 48000).phases(), 45u);
}

TEST(ChipRenderer, RendersExactlyTheFramesAskedForInAnyPieces) {
    synth::ChipRenderer renderer;
    std::vector<float> out(2 * 10000, 2.0f);
    uint64_t total = 0;
    for (size_t frames : {0u, 1u, 9999u, 4097u, 44100u % 10000u}) {
        renderer.render(frames, out.data());
        total += frames;
        for (size_t i = 0; i < 2 * frames; ++i) ASSERT_TRUE(out[i] >= -1.0f && out[i] <= 1.0f);
    }
    EXPECT_EQ(renderer.framesRendered(), total);
    EXPECT_EQ(renderer.chipFramesGenerated(), (total - 1) * 1664 / 1323 + 1);
    EXPECT_EQ(synth::ChipRenderer(synth::kYm2608Clock, 48000).outputRate(), 48000u);
}

}  // namespace
