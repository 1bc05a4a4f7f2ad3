// The ADPCM-B measured on its rendered sound. Samples are encoded here by an encoder written from
// the YM2608 application manual's codec (the inverse of its decoder: quantise the difference to
// the predicted sample in quarter steps, then adapt the step exactly as the decoder will), stored
// through the data port and played back.
#include "synth/adpcm_b.h"
#include "synth/ym2608.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "tests/synth/sound_measure.h"

namespace {

using namespace sound_measure;

// The documented codec state: the predicted sample and the adaptive step.
struct Codec {
    int x = 0;
    int step = 127;

    int decode(int code) {
        static const int kScale[8] = {57, 57, 57, 57, 77, 102, 128, 153};
        const int magnitude = code & 7;
        const int diff = ((2 * magnitude + 1) * step) >> 3;
        x = std::clamp((code & 8) ? x - diff : x + diff, -32768, 32767);
        step = std::clamp((step * kScale[magnitude]) >> 6, 127, 24576);
        return x;
    }

    int encode(int sample) {
        const int diff = sample - x;
        const int magnitude = std::min(7, std::abs(diff) * 4 / step);
        const int code = (diff < 0 ? 8 : 0) | magnitude;
        decode(code);
        return code;
    }
};

struct Encoded {
    std::vector<uint8_t> bytes;
    std::vector<int> decoded;  // what the decoder will give, code by code
};

Encoded encode(const std::vector<int>& samples) {
    Encoded out;
    Codec codec;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        const int high = codec.encode(samples[i]);
        out.decoded.push_back(codec.x);
        const int low = codec.encode(samples[i + 1]);
        out.decoded.push_back(codec.x);
        out.bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return out;
}

std::vector<int> sine(size_t count, double cyclesPerSample, double amplitude) {
    std::vector<int> out(count);
    for (size_t i = 0; i < count; ++i) {
        out[i] = static_cast<int>(std::lround(amplitude * std::sin(2 * kPi * cyclesPerSample * static_cast<double>(i))));
    }
    return out;
}

struct Board {
    synth::AdpcmB chip;
    uint8_t ramType = 0x02;  // x8

    void write(uint8_t reg, uint8_t value) { chip.write(reg, value); }
    void write16(uint8_t lowReg, unsigned value) {
        write(lowReg, value & 0xFF);
        write(static_cast<uint8_t>(lowReg + 1), (value >> 8) & 0xFF);
    }

    // The manual's sequence for writing the memory through the data port.
    void store(unsigned startUnit, const std::vector<uint8_t>& bytes) {
        write(0x00, 0x01);
        write(0x00, 0x60);  // rec + memory data
        write(0x01, ramType);
        write16(0x02, startUnit);
        write16(0x04, 0xFFFF);
        write16(0x0C, 0xFFFF);
        for (uint8_t b : bytes) write(0x08, b);
        write(0x00, 0x00);
    }

    void play(unsigned startUnit, unsigned stopUnit, unsigned deltaN, bool repeat = false,
              uint8_t pan = 0xC0, uint8_t level = 0xFF) {
        write(0x01, static_cast<uint8_t>(pan | ramType));
        write16(0x02, startUnit);
        write16(0x04, stopUnit);
        write16(0x09, deltaN);
        write(0x0B, level);
        write(0x00, repeat ? 0xB0 : 0xA0);
    }

    std::vector<synth::StereoSample> render(size_t frames) {
        std::vector<synth::StereoSample> out(frames);
        for (auto& s : out) s = chip.next();
        return out;
    }
};

std::vector<float> left(const std::vector<synth::StereoSample>& x) {
    std::vector<float> out;
    for (const auto& s : x) out.push_back(s.left);
    return out;
}

constexpr float kFullLevel = 255.0f / 256.0f / 32768.0f;

// What the chip plays after k + 1 samples at delta-N: the decoded codes, interpolated linearly,
// two codes behind (one to decode ahead, one to interpolate from).
double expectedOutput(const std::vector<int>& decoded, size_t k, unsigned deltaN) {
    const uint64_t total = static_cast<uint64_t>(k + 1) * deltaN;
    const int64_t whole = static_cast<int64_t>(total >> 16) - 2;
    const double fraction = static_cast<double>(total & 0xFFFF) / 65536.0;
    auto at = [&](int64_t i) { return i < 0 ? 0.0 : static_cast<double>(decoded[static_cast<size_t>(i)]); };
    return (at(whole) + (at(whole + 1) - at(whole)) * fraction) * kFullLevel;
}

class AdpcmBPlayback : public ::testing::TestWithParam<unsigned> {};

// A 1 kHz sine through the encoder and the data port plays back as the decoder gives it, at the
// delta-N rate, interpolated between codes.
TEST_P(AdpcmBPlayback, PlaysTheEncodedWaveformAtTheDeltaNRate) {
    const unsigned deltaN = GetParam();
    const std::vector<int> wave = sine(4096, 1000.0 / kChipRate, 20000);
    const Encoded encoded = encode(wave);
    Board board;
    board.store(0, encoded.bytes);
    board.play(0, static_cast<unsigned>(encoded.bytes.size() / 32 - 1), deltaN);
    const size_t expectedFrames = static_cast<size_t>(
        std::ceil(static_cast<double>(wave.size()) * 65536.0 / deltaN));
    const std::vector<float> out = left(board.render(expectedFrames + 100));
    for (size_t k = 0; k + 1 < expectedFrames; ++k) {
        ASSERT_NEAR(out[k], expectedOutput(encoded.decoded, k, deltaN), 1e-5) << "sample " << k;
    }
    // It stops after the last code: the duration is the codes times 65536 / delta-N.
    EXPECT_TRUE(board.chip.flags() & synth::AdpcmB::kFlagEndOfSample);
    EXPECT_FALSE(board.chip.playing());
    for (size_t k = expectedFrames; k < out.size(); ++k) ASSERT_EQ(out[k], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Adpcm, AdpcmBPlayback, ::testing::Values(65535u, 32768u, 21845u, 12345u, 4096u));

TEST(AdpcmBCodec, DecodesToTheOriginalWithinTheCodecError) {
    const std::vector<int> wave = sine(8192, 1000.0 / kChipRate, 30000);
    const Encoded encoded = encode(wave);
    Board board;
    board.store(0, encoded.bytes);
    // At delta-N 32768 every other output sample is a code exactly: out[2i + 3] is code i.
    board.play(0, static_cast<unsigned>(encoded.bytes.size() / 32 - 1), 32768);
    const std::vector<float> out = left(board.render(2 * wave.size() + 4));
    double errorPower = 0, signalPower = 0, worst = 0;
    for (size_t i = 100; i < wave.size() - 2; ++i) {  // once the step has adapted
        const double original = wave[i] * static_cast<double>(kFullLevel);
        const double error = out[2 * i + 3] - original;
        errorPower += error * error;
        signalPower += original * original;
        worst = std::max(worst, std::fabs(error));
    }
    EXPECT_GT(10 * std::log10(signalPower / errorPower), 30.0);
    EXPECT_LT(worst, 0.03);  // of full scale 1.0
    // The loudest the part gets: near 1.0.
    EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 30000.0 / 32768 * 255 / 256, 0.02);
}

// Start and stop pick one sample out of memory; repeat plays it again from the start with the
// decoder restarted.
TEST(AdpcmBAddresses, StartStopAndRepeat) {
    const Encoded first = encode(sine(32 * 2 * 8, 3000.0 / kChipRate, 15000));    // units 0-7
    const Encoded second = encode(sine(32 * 2 * 4, 700.0 / kChipRate, 25000));    // units 8-11
    Board board;
    std::vector<uint8_t> memory = first.bytes;
    memory.insert(memory.end(), second.bytes.begin(), second.bytes.end());
    board.store(0, memory);

    for (bool repeat : {false, true}) {
        SCOPED_TRACE(repeat ? "repeat" : "once");
        board.play(8, 11, 40000, repeat);
        std::vector<int> expected = second.decoded;
        if (repeat) {
            for (int loop = 0; loop < 2; ++loop) {
                expected.insert(expected.end(), second.decoded.begin(), second.decoded.end());
            }
        }
        const size_t frames = static_cast<size_t>(
            std::ceil(static_cast<double>(expected.size()) * 65536.0 / 40000));
        const std::vector<float> out = left(board.render(frames + 50));
        for (size_t k = 0; k + 1 < frames; ++k) {
            ASSERT_NEAR(out[k], expectedOutput(expected, k, 40000), 1e-5) << "sample " << k;
        }
        EXPECT_EQ(board.chip.playing(), repeat);
        board.write(0x00, 0x01);  // reset stops it
        EXPECT_FALSE(board.chip.playing());
        EXPECT_EQ(board.chip.next().left, 0.0f);
        board.write(0x10, 0x80);  // clears the end-of-sample flag
        EXPECT_FALSE(board.chip.flags() & synth::AdpcmB::kFlagEndOfSample);
    }
}

struct UnitCase {
    uint8_t ramType;
    unsigned bytesPerUnit;
};

class AdpcmBUnits : public ::testing::TestWithParam<UnitCase> {};

// The address registers count 32-byte units for x8 RAM and 4-byte units for x1 RAM: the same
// bytes, stored at byte 2048 in either, play the same, and the stop unit ends them.
TEST_P(AdpcmBUnits, AddressesCountInTheRamTypesUnits) {
    const UnitCase c = GetParam();
    const Encoded wave = encode(sine(512, 2000.0 / kChipRate, 12000));  // 256 bytes
    Board board;
    board.ramType = c.ramType;
    const unsigned start = 2048 / c.bytesPerUnit;
    board.store(start, wave.bytes);
    const unsigned stop = start + 128 / c.bytesPerUnit - 1;  // the first 128 bytes only
    board.play(start, stop, 65535);
    const std::vector<float> out = left(board.render(300));
    const size_t codes = 256;
    for (size_t k = 0; k + 1 < codes; ++k) {
        ASSERT_NEAR(out[k], expectedOutput(wave.decoded, k, 65535), 1e-5) << "sample " << k;
    }
    for (size_t k = codes + 1; k < out.size(); ++k) ASSERT_EQ(out[k], 0.0f) << k;
}

INSTANTIATE_TEST_SUITE_P(Adpcm, AdpcmBUnits,
                         ::testing::Values(UnitCase{0x02, 32}, UnitCase{0x00, 4}));

struct OutputCase {
    uint8_t pan;
    uint8_t level;
    uint8_t control;  // written to 00 to start
    double left;      // expected gain of each side, relative to level 255
    double right;
};

class AdpcmBOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(AdpcmBOutput, StereoBitsLevelAndSpeakerOff) {
    const OutputCase c = GetParam();
    const Encoded wave = encode(sine(4096, 1000.0 / kChipRate, 20000));
    Board board;
    board.store(0, wave.bytes);
    board.play(0, 63, 65535, false, c.pan, c.level);
    board.write(0x00, c.control);
    const std::vector<synth::StereoSample> out = board.render(3000);
    double l = 0, r = 0, reference = 0;
    for (size_t k = 1000; k < out.size(); ++k) {
        l = std::max(l, static_cast<double>(std::fabs(out[k].left)));
        r = std::max(r, static_cast<double>(std::fabs(out[k].right)));
        reference = std::max(reference, std::fabs(expectedOutput(wave.decoded, k, 65535)));
    }
    EXPECT_NEAR(l / reference, c.left, 0.001);
    EXPECT_NEAR(r / reference, c.right, 0.001);
}

INSTANTIATE_TEST_SUITE_P(
    Adpcm, AdpcmBOutput,
    ::testing::Values(OutputCase{0xC0, 0xFF, 0xA0, 1, 1}, OutputCase{0x80, 0xFF, 0xA0, 1, 0},
                      OutputCase{0x40, 0xFF, 0xA0, 0, 1}, OutputCase{0x00, 0xFF, 0xA0, 0, 0},
                      OutputCase{0xC0, 0x80, 0xA0, 128.0 / 255, 128.0 / 255},
                      OutputCase{0xC0, 0x20, 0xA0, 32.0 / 255, 32.0 / 255},
                      OutputCase{0xC0, 0xFF, 0xA8, 0, 0}));  // speaker off

TEST(AdpcmBMemory, DataPortWritesOnlyWithMemoryDataAndNoStart) {
    const Encoded wave = encode(sine(128, 2000.0 / kChipRate, 12000));  // 64 bytes, 2 units
    Board board;
    board.store(4, wave.bytes);
    // Writes to 08 while playing, or without memory data, do not reach the memory.
    board.play(4, 5, 65535);
    board.write(0x08, 0x77);
    board.write(0x00, 0x00);
    board.write(0x08, 0x77);
    board.play(4, 5, 65535);
    const std::vector<float> out = left(board.render(140));
    for (size_t k = 0; k + 1 < 128; ++k) {
        ASSERT_NEAR(out[k], expectedOutput(wave.decoded, k, 65535), 1e-5) << "sample " << k;
    }
}

TEST(AdpcmBMemory, TheRamTypeMayBeSetAfterTheStartAddress) {
    const Encoded wave = encode(sine(128, 2000.0 / kChipRate, 12000));
    Board board;
    board.write(0x01, 0x00);  // x1 units while the start address is written
    board.write(0x00, 0x60);
    board.write16(0x02, 64);
    board.write(0x01, 0x02);  // then x8: the transfer starts at 64 * 32
    for (uint8_t b : wave.bytes) board.write(0x08, b);
    board.write(0x00, 0x00);
    board.play(64, 65, 65535);
    const std::vector<float> out = left(board.render(140));
    for (size_t k = 0; k + 1 < 128; ++k) {
        ASSERT_NEAR(out[k], expectedOutput(wave.decoded, k, 65535), 1e-5) << "sample " << k;
    }
}

TEST(AdpcmBRobustness, RandomRegisterStreamsStayFiniteAndBounded) {
    std::mt19937 rng(99);
    synth::AdpcmB chip;
    chip.write(0x00, 0x60);
    chip.write(0x01, 0x02);
    for (int i = 0; i < 20000; ++i) chip.write(0x08, static_cast<uint8_t>(rng()));
    for (int round = 0; round < 400; ++round) {
        const int writes = static_cast<int>(rng() % 6);
        for (int w = 0; w < writes; ++w) {
            uint8_t reg = static_cast<uint8_t>(rng() % 20);
            uint8_t value = static_cast<uint8_t>(rng());
            if (reg == 0 && rng() % 2) value = static_cast<uint8_t>(0xA0 | (value & 0x19));
            chip.write(reg, value);
        }
        for (int i = 0; i < 300; ++i) {
            const synth::StereoSample s = chip.next();
            ASSERT_TRUE(std::isfinite(s.left) && std::isfinite(s.right));
            ASSERT_LE(std::fabs(s.left), 1.0f);
            ASSERT_LE(std::fabs(s.right), 1.0f);
        }
    }
}

}  // namespace

namespace {

// The chip routes bank A1 registers 00-10 here: memory written and played through it sounds.
TEST(AdpcmBThroughTheChip, BankA1Registers00To10ReachTheAdpcm) {
    const Encoded wave = encode(sine(4096, 1000.0 / kChipRate, 20000));
    synth::Ym2608 chip;
    chip.write(1, 0x00, 0x60);
    chip.write(1, 0x01, 0x02);
    for (uint8_t b : wave.bytes) chip.write(1, 0x08, b);
    chip.write(1, 0x00, 0x00);
    chip.write(1, 0x01, 0xC2);
    chip.write(1, 0x04, 63);
    chip.write(1, 0x0A, 0x80);
    chip.write(1, 0x0B, 0xFF);
    chip.write(1, 0x00, 0xA0);
    const std::vector<float> left = leftChannel(chip, 4000);
    EXPECT_GT(toneAmplitude(left, 500.0), 0.01);  // half rate: the 1 kHz sine at 500 Hz
}

}  // namespace
