#include "tools/device/vgm_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace device {

namespace {

constexpr uint8_t kCommandPort0 = 0x56;
constexpr uint8_t kCommandPort1 = 0x57;
constexpr uint8_t kCommandWait = 0x61;
constexpr uint8_t kCommandWait735 = 0x62;  // one 60 Hz frame
constexpr uint8_t kCommandWait882 = 0x63;  // one 50 Hz frame
constexpr uint8_t kCommandWaitShort = 0x70;  // 0x70 + n waits n + 1 samples
constexpr uint8_t kCommandEnd = 0x66;
constexpr uint32_t kShortWaitMax = 16;
constexpr uint32_t kWaitMax = 0xFFFF;

// Header fields, by byte offset.
constexpr size_t kOffsetEof = 0x04;           // file size - 4
constexpr size_t kOffsetVersion = 0x08;
constexpr size_t kOffsetTotalSamples = 0x18;
constexpr size_t kOffsetDataOffset = 0x34;    // relative to this field itself
constexpr size_t kOffsetYm2608Clock = 0x48;
constexpr uint32_t kVersion151 = 0x00000151;

std::array<uint8_t, 4> littleEndian(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

void storeWord(std::array<uint8_t, VgmWriter::kHeaderSize>& header, size_t offset, uint32_t value) {
    const auto bytes = littleEndian(value);
    std::copy(bytes.begin(), bytes.end(), header.begin() + static_cast<std::ptrdiff_t>(offset));
}

// The fixed part of the header; the EOF offset and the sample count are filled in at the end.
std::array<uint8_t, VgmWriter::kHeaderSize> provisionalHeader() {
    std::array<uint8_t, VgmWriter::kHeaderSize> header{};
    header[0] = 'V';
    header[1] = 'g';
    header[2] = 'm';
    header[3] = ' ';
    storeWord(header, kOffsetVersion, kVersion151);
    storeWord(header, kOffsetDataOffset, VgmWriter::kHeaderSize - kOffsetDataOffset);  // data right after
    storeWord(header, kOffsetYm2608Clock, VgmWriter::kClockYm2608);
    return header;
}

// Samples from the start of the capture to `seconds` after it, never negative and never past what
// the header's 32-bit sample count can hold.
uint32_t samplesAt(double seconds) {
    const double samples = std::round(seconds * VgmWriter::kSampleRate);
    if (!(samples > 0)) return 0;  // also catches NaN
    if (samples >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
        return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(samples);
}

}  // namespace

VgmWriter::~VgmWriter() {
    if (file_) std::fclose(file_);
}

bool VgmWriter::open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    const auto header = provisionalHeader();
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) failed_ = true;
    return true;
}

void VgmWriter::addWrite(double seconds, VgmPort port, uint8_t reg, uint8_t value) {
    if (!file_) return;
    if (!started_) {
        started_ = true;
        origin_ = seconds;
    }
    lastWrite_ = seconds;
    waitUntil(seconds);
    put(port == VgmPort::A0 ? kCommandPort0 : kCommandPort1);
    put(reg);
    put(value);
}

bool VgmWriter::finish(double endSeconds) {
    if (!file_) return false;
    if (started_) waitUntil(std::min(endSeconds, lastWrite_ + kTailSeconds));
    put(kCommandEnd);
    const long size = std::ftell(file_);
    if (size < 0 || !writeHeaderWord(kOffsetEof, static_cast<uint32_t>(size - 4)) ||
        !writeHeaderWord(kOffsetTotalSamples, position_)) {
        failed_ = true;
    }
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

// Brings the stream's sample position up to the given arrival time. Rounding each arrival from
// the origin (not each gap) keeps the rounding errors from adding up over a long capture.
void VgmWriter::waitUntil(double seconds) {
    const uint32_t target = samplesAt(seconds - origin_);
    if (target <= position_) return;
    emitWait(target - position_);
    position_ = target;
}

// Spends the wait greedily, each step with the command that covers the most of what is left in
// the fewest bytes: the one-byte frame waits for an exact frame, one-byte short waits for up to 16
// (two of them for up to 32), the three-byte general wait for everything else.
void VgmWriter::emitWait(uint32_t samples) {
    while (samples > 0) {
        if (samples == 735) {
            put(kCommandWait735);
            samples = 0;
        } else if (samples == 882) {
            put(kCommandWait882);
            samples = 0;
        } else if (samples <= 2 * kShortWaitMax) {
            const uint32_t step = std::min(samples, kShortWaitMax);
            put(static_cast<uint8_t>(kCommandWaitShort + step - 1));
            samples -= step;
        } else {
            const uint32_t step = std::min(samples, kWaitMax);
            put(kCommandWait);
            put(static_cast<uint8_t>(step & 0xFF));
            put(static_cast<uint8_t>(step >> 8));
            samples -= step;
        }
    }
}

void VgmWriter::put(uint8_t byte) {
    if (std::fputc(byte, file_) == EOF) failed_ = true;
}

bool VgmWriter::writeHeaderWord(size_t offset, uint32_t value) {
    const auto bytes = littleEndian(value);
    return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

}  // namespace device
