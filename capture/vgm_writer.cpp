#include "capture/vgm_writer.h"

#include <algorithm>
#include <vector>

namespace capture {

namespace {

constexpr uint8_t kCommandPort0 = 0x56;
constexpr uint8_t kCommandPort1 = 0x57;
constexpr uint8_t kCommandWait = 0x61;
constexpr uint8_t kCommandWait735 = 0x62;    // one 60 Hz frame
constexpr uint8_t kCommandWait882 = 0x63;    // one 50 Hz frame
constexpr uint8_t kCommandWaitShort = 0x70;  // 0x70 + n waits n + 1 samples
constexpr uint8_t kCommandEnd = 0x66;
constexpr uint64_t kShortWaitMax = 16;
constexpr uint64_t kWaitMax = 0xFFFF;

// Header fields, by byte offset.
constexpr size_t kOffsetEof = 0x04;  // file size - 4
constexpr size_t kOffsetVersion = 0x08;
constexpr size_t kOffsetTotalSamples = 0x18;
constexpr size_t kOffsetDataOffset = 0x34;  // relative to this field itself
constexpr size_t kOffsetYm2608Clock = 0x48;
constexpr uint32_t kVersion151 = 0x00000151;

void storeWord(std::vector<uint8_t>& header, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) header[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The fixed part of the header; the EOF offset and the sample count are filled in at each flush.
std::vector<uint8_t> fixedHeader() {
    std::vector<uint8_t> header(VgmWriter::kHeaderSize, 0);
    header[0] = 'V';
    header[1] = 'g';
    header[2] = 'm';
    header[3] = ' ';
    storeWord(header, kOffsetVersion, kVersion151);
    storeWord(header, kOffsetDataOffset, VgmWriter::kHeaderSize - kOffsetDataOffset);  // data right after
    storeWord(header, kOffsetYm2608Clock, kClockYm2608);
    return header;
}

}  // namespace

bool VgmWriter::open(const std::string& path) {
    std::vector<uint8_t> header = fixedHeader();
    storeWord(header, kOffsetEof, kHeaderSize + 1 - 4);  // the header and the end mark
    return file_.open(path, header, {kCommandEnd});
}

Status VgmWriter::advanceTo(uint64_t sample) {
    if (sample > kMaxSamples) return Status::full;
    time_ = std::max(time_, sample);
    return Status::ok;
}

Status VgmWriter::write(Bank bank, uint8_t reg, uint8_t value) {
    if (emitted_ != time_) {
        if (const Status waited = emitWait(); waited != Status::ok) return waited;
    }
    const uint8_t command[3] = {bank == Bank::A0 ? kCommandPort0 : kCommandPort1, reg, value};
    return put(command, sizeof command);
}

bool VgmWriter::flush() {
    // The size and the sample count change only with new commands.
    if (file_.hasPending()) {
        file_.setHeaderWord(kOffsetEof, static_cast<uint32_t>(file_.sizeAfterFlush() - 4));
        file_.setHeaderWord(kOffsetTotalSamples, static_cast<uint32_t>(emitted_));
    }
    return file_.flush();
}

bool VgmWriter::finish() {
    if (!file_.isOpen()) return false;
    const bool waited = emitWait() != Status::failed;  // full still leaves a valid file
    const bool flushed = flush();  // the header words; close has nothing more to write
    return file_.close() && flushed && waited;
}

// Spends the wait greedily, each step with the command that covers the most of what is left in
// the fewest bytes: the one-byte frame waits for an exact frame, one-byte short waits for up to 16
// (two of them for up to 32), the three-byte general wait for everything else.
Status VgmWriter::emitWait() {
    while (emitted_ < time_) {
        const uint64_t left = time_ - emitted_;
        uint8_t command[3] = {};
        size_t length = 1;
        uint64_t step = left;
        if (left == 735 || left == 882) {
            command[0] = left == 735 ? kCommandWait735 : kCommandWait882;
        } else if (left <= 2 * kShortWaitMax) {
            step = std::min(left, kShortWaitMax);
            command[0] = static_cast<uint8_t>(kCommandWaitShort + step - 1);
        } else {
            step = std::min(left, kWaitMax);
            command[0] = kCommandWait;
            command[1] = static_cast<uint8_t>(step);
            command[2] = static_cast<uint8_t>(step >> 8);
            length = 3;
        }
        if (const Status status = put(command, length); status != Status::ok) return status;
        emitted_ += step;
    }
    return Status::ok;
}

Status VgmWriter::put(const uint8_t* bytes, size_t count) {
    if (file_.failed()) return Status::failed;
    return file_.append(bytes, count) ? Status::ok : Status::full;
}

}  // namespace capture
