#pragma once
// A small reader of the 16-bit stereo PCM WAV files velkor-render and velkor-device write, checking
// every header field against the format rather than against the writer's own code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

inline uint32_t le32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(bytes.at(at + i))} << (8 * i);
    return value;
}

inline uint16_t le16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(at)) | static_cast<uint8_t>(bytes.at(at + 1)) << 8);
}

struct Wav {
    uint32_t rate = 0;
    std::vector<int16_t> samples;  // interleaved left, right
    size_t frames() const { return samples.size() / 2; }
};

// Checks every header field of a 16-bit stereo PCM WAV file and returns its samples.
inline Wav readWav(const std::string& bytes) {
    Wav wav;
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return wav;
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    EXPECT_EQ(bytes.substr(12, 4), "fmt ");
    EXPECT_EQ(le32(bytes, 16), 16u);
    EXPECT_EQ(le16(bytes, 20), 1u);  // PCM
    EXPECT_EQ(le16(bytes, 22), 2u);  // stereo
    wav.rate = le32(bytes, 24);
    EXPECT_EQ(le32(bytes, 28), wav.rate * 4);  // bytes per second
    EXPECT_EQ(le16(bytes, 32), 4u);            // bytes per frame
    EXPECT_EQ(le16(bytes, 34), 16u);           // bits per sample
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44);
    for (size_t at = 44; at + 1 < bytes.size(); at += 2) wav.samples.push_back(static_cast<int16_t>(le16(bytes, at)));
    return wav;
}
