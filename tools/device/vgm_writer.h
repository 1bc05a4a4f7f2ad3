#pragma once
// Captures a stream of timed YM2608 register writes as a VGM 1.51 file: a 0x80-byte header, then
// the writes with the waits between them at 44100 samples per second, then the end mark.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace device {

enum class VgmPort : uint8_t { A0, A1 };

class VgmWriter {
public:
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint32_t kClockYm2608 = 7987200;
    static constexpr uint32_t kHeaderSize = 0x80;
    // After the last write the capture keeps at most this long, so a note's release is heard but a
    // long idle wait before the device ended is not.
    static constexpr double kTailSeconds = 1.0;

    VgmWriter() = default;
    VgmWriter(const VgmWriter&) = delete;
    VgmWriter& operator=(const VgmWriter&) = delete;
    ~VgmWriter();

    // Creates the file with a provisional header; false when it cannot be created.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // Adds one write that arrived at `seconds` on any steady clock; the first write's arrival is
    // the start of the capture.
    void addWrite(double seconds, VgmPort port, uint8_t reg, uint8_t value);
    // Pads the capture up to endSeconds (at most kTailSeconds past the last write), ends the data,
    // completes the header and closes the file. False when any part of the file failed to write.
    bool finish(double endSeconds);

private:
    void waitUntil(double seconds);
    void emitWait(uint32_t samples);
    void put(uint8_t byte);
    bool writeHeaderWord(size_t offset, uint32_t value);

    std::FILE* file_ = nullptr;
    bool started_ = false;
    double origin_ = 0;
    double lastWrite_ = 0;
    uint32_t position_ = 0;  // samples emitted so far
    bool failed_ = false;
};

}  // namespace device
