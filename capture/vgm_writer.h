#pragma once
// VGM 1.51 for one YM2608: a 0x80-byte header, the register writes (0x56 bank A0, 0x57 bank A1)
// with the waits between them at 44100 samples per second, and the end mark 0x66. Time is given
// as a sample position from the start of the capture; a wait is written lazily, with the next
// write or at the end, so the bytes do not depend on when the caller flushes.
#include <cstdint>
#include <string>

#include "capture/capture_file.h"
#include "capture/status.h"

namespace capture {

class VgmWriter {
public:
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint32_t kHeaderSize = 0x80;
    // The header's total sample count is 32 bits wide.
    static constexpr uint64_t kMaxSamples = 0xFFFFFFFFu;

    bool open(const std::string& path);
    bool isOpen() const { return file_.isOpen(); }

    // Moves time on to `sample`; never back. full when the position does not fit the header.
    Status advanceTo(uint64_t sample);
    Status write(Bank bank, uint8_t reg, uint8_t value);
    // Writes out what is pending, with a valid header and end mark; false once a write failed.
    // The caller flushes whenever file().chunkFull(), so that it knows what each flush saved.
    bool flush();
    // Writes the wait up to the current time and the end, completes the header and closes.
    bool finish();

    uint64_t time() const { return time_; }
    int error() const { return file_.error(); }
    CaptureFile& file() { return file_; }

private:
    Status emitWait();
    Status put(const uint8_t* bytes, size_t count);

    CaptureFile file_;
    uint64_t time_ = 0;     // where the stream is now
    uint64_t emitted_ = 0;  // samples the written waits add up to
};

}  // namespace capture
