#pragma once
// A 16-bit stereo PCM WAV file (RIFF/WAVE with a fmt and a data chunk). The header is written first
// with empty sizes and completed by finish(), so a file that was not finished says it holds nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace render {

class WavWriter {
public:
    static constexpr uint32_t kHeaderBytes = 44;
    static constexpr uint32_t kBytesPerFrame = 4;
    // The RIFF size field (file size less 8 bytes) is 32 bits wide.
    static constexpr uint64_t kMaxFrames = (0xFFFFFFFFull - (kHeaderBytes - 8)) / kBytesPerFrame;

    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    // Creates the file; false with "cannot create PATH: reason" in error.
    bool open(const std::string& path, uint32_t rate, std::string& error);
    // Appends interleaved stereo frames in full-scale units (+-1.0), rounded to 16 bits; samples
    // beyond full scale are limited to it and a NaN is written as silence. False once a write failed.
    bool write(const float* frames, size_t count);
    // Completes the header and closes; false with "cannot write PATH: reason" in error.
    bool finish(std::string& error);
    // Closes and deletes an unfinished file (when it is a regular file).
    void discard();

    uint64_t frames() const { return frames_; }
    // "cannot write PATH: reason" after a failed write.
    std::string writeError() const;

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    uint32_t rate_ = 0;
    uint64_t frames_ = 0;
    int error_ = 0;
    bool removable_ = false;  // a regular file, which a failure deletes
};

// One sample in full-scale units as a 16-bit value.
int16_t toPcm16(float sample);

}  // namespace render
