#pragma once
// A register capture on a timeline of ticks of a fixed length, in either format. Time 0 is the
// start; each tick moves time on by the tick length, and writes between two ticks share one time.
// S98 records one SYNC per tick (the header's timer is the tick length); VGM places tick n at
// sample round(n * ms * 44100 / 1000), computed from n each time so that no rounding adds up.
#include <cstdint>
#include <optional>
#include <string>

#include "capture/s98_writer.h"
#include "capture/status.h"
#include "capture/vgm_writer.h"

namespace capture {

enum class Format : uint8_t { s98, vgm };

// The format a file name asks for by its extension (any case): .s98 or .vgm.
std::optional<Format> formatOf(const std::string& path);
const char* formatName(Format format);

// The VGM sample position of tick n for ticks of tickMs milliseconds, rounded half up.
constexpr uint64_t vgmSampleOfTick(uint64_t tick, uint32_t tickMs) {
    return (tick * tickMs * 441 + 5) / 10;
}

struct CaptureCounts {
    uint64_t writesA0 = 0;
    uint64_t writesA1 = 0;
    uint64_t ticks = 0;
};

class TickCapture {
public:
    // The largest tick length: with it, 2^32 VGM samples still take fewer than 2^32 ticks.
    static constexpr uint32_t kMaxTickMs = 65535;

    // Creates the file; false when it cannot be created. title goes into the S98 tag.
    bool open(const std::string& path, Format format, uint32_t tickMs, const std::string& title);
    bool isOpen() const { return format_ == Format::s98 ? s98_.isOpen() : vgm_.isOpen(); }

    Status registerWrite(Bank bank, uint8_t reg, uint8_t value);
    Status tick();
    // Writes out what is recorded so far; the file on disk is then complete.
    bool flush();
    // Completes and closes the file; false when a write failed.
    bool finish();

    // What the file holds: everything recorded, or after a failed write what the last good flush
    // saved (its writes, and the ticks up to the last of them).
    const CaptureCounts& counts() const { return failed_ ? saved_ : counts_; }
    Format format() const { return format_; }
    uint32_t tickMs() const { return tickMs_; }
    double seconds() const { return static_cast<double>(counts().ticks) * tickMs_ / 1000.0; }
    int error() const { return format_ == Format::s98 ? s98_.error() : vgm_.error(); }
    CaptureFile& file() { return format_ == Format::s98 ? s98_.file() : vgm_.file(); }

private:
    Format format_ = Format::s98;
    uint32_t tickMs_ = 5;
    S98Writer s98_;
    VgmWriter vgm_;
    CaptureCounts counts_;
    uint64_t ticksAtLastWrite_ = 0;
    CaptureCounts saved_;
    bool failed_ = false;
};

}  // namespace capture
