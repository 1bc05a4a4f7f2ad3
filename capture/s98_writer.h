#pragma once
// S98 version 3 for one YM2608 (OPNA): a header with the timer (one SYNC lasts numerator /
// denominator seconds) and one device record, the dump (00 aa dd bank A0, 01 aa dd bank A1, FF one
// SYNC, FE with a variable-length count for n SYNCs, FD the end), and the tag block after it.
// SYNCs are written lazily, as one run before the next write or at the end, so the bytes do not
// depend on when the caller flushes.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "capture/capture_file.h"
#include "capture/status.h"

namespace capture {

// One "key=value" line of the tag block, in UTF-8.
using S98Tag = std::pair<std::string, std::string>;

class S98Writer {
public:
    static constexpr uint32_t kDumpOffset = 0x30;  // the header and one device record

    bool open(const std::string& path, uint32_t timerNumerator, uint32_t timerDenominator,
              const std::vector<S98Tag>& tags);
    bool isOpen() const { return file_.isOpen(); }

    // Time moves on by count SYNCs.
    void sync(uint64_t count = 1) { pendingSyncs_ += count; }
    Status write(Bank bank, uint8_t reg, uint8_t value);
    // Writes out what is pending, with a valid header, end and tag; false once a write failed.
    // The caller flushes whenever file().chunkFull(), so that it knows what each flush saved.
    bool flush();
    // Writes the pending SYNCs and the end, completes the header and closes.
    bool finish();

    int error() const { return file_.error(); }
    CaptureFile& file() { return file_; }

private:
    Status emitSyncs();
    Status put(const uint8_t* bytes, size_t count);

    CaptureFile file_;
    uint64_t pendingSyncs_ = 0;
};

// The tag block: "[S98]", the UTF-8 byte order mark, one "key=value" line each, a 0 byte.
std::vector<uint8_t> s98TagBlock(const std::vector<S98Tag>& tags);

}  // namespace capture
