#include "capture/s98_writer.h"

#include <algorithm>

namespace capture {

namespace {

constexpr uint8_t kCommandBankA0 = 0x00;
constexpr uint8_t kCommandBankA1 = 0x01;
constexpr uint8_t kCommandSync = 0xFF;
constexpr uint8_t kCommandSyncs = 0xFE;  // n SYNCs: the count less 2, 7 bits a byte, low first
constexpr uint8_t kCommandEnd = 0xFD;
constexpr uint32_t kDeviceOpna = 4;
// A run's count stays within four bytes of seven bits, which every reader's int holds.
constexpr uint64_t kMaxRun = (uint64_t{1} << 28) + 1;

constexpr size_t kOffsetTag = 0x10;

std::vector<uint8_t> header(uint32_t numerator, uint32_t denominator) {
    std::vector<uint8_t> bytes = {'S', '9', '8', '3'};
    putWord(bytes, numerator);
    putWord(bytes, denominator);
    putWord(bytes, 0);  // no compression
    putWord(bytes, S98Writer::kDumpOffset + 1);  // the tag, right after the end command
    putWord(bytes, S98Writer::kDumpOffset);
    putWord(bytes, 0);  // no loop
    putWord(bytes, 1);  // one device
    putWord(bytes, kDeviceOpna);
    putWord(bytes, kClockYm2608);
    putWord(bytes, 0);  // pan: none
    putWord(bytes, 0);  // reserved
    return bytes;
}

// Text for a tag line: line breaks and 0 bytes would end the line or the block.
std::string tagText(const std::string& text) {
    std::string clean = text;
    std::replace_if(clean.begin(), clean.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }, ' ');
    return clean;
}

}  // namespace

std::vector<uint8_t> s98TagBlock(const std::vector<S98Tag>& tags) {
    std::string text = "[S98]\xEF\xBB\xBF";
    for (const auto& [key, value] : tags) text += tagText(key) + "=" + tagText(value) + "\n";
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back(0);
    return block;
}

bool S98Writer::open(const std::string& path, uint32_t timerNumerator, uint32_t timerDenominator,
                     const std::vector<S98Tag>& tags) {
    std::vector<uint8_t> trailer = {kCommandEnd};
    const std::vector<uint8_t> tag = s98TagBlock(tags);
    trailer.insert(trailer.end(), tag.begin(), tag.end());
    return file_.open(path, header(timerNumerator, timerDenominator), trailer);
}

Status S98Writer::write(Bank bank, uint8_t reg, uint8_t value) {
    if (pendingSyncs_ != 0) {
        if (const Status synced = emitSyncs(); synced != Status::ok) return synced;
    }
    const uint8_t command[3] = {bank == Bank::A0 ? kCommandBankA0 : kCommandBankA1, reg, value};
    return put(command, sizeof command);
}

bool S98Writer::flush() {
    // The tag moves only with new commands.
    if (file_.hasPending()) file_.setHeaderWord(kOffsetTag, static_cast<uint32_t>(file_.dataEndAfterFlush() + 1));
    return file_.flush();
}

bool S98Writer::finish() {
    if (!file_.isOpen()) return false;
    const bool synced = emitSyncs() != Status::failed;  // full still leaves a valid file
    const bool flushed = flush();  // the header word; close has nothing more to write
    return file_.close() && flushed && synced;
}

Status S98Writer::emitSyncs() {
    while (pendingSyncs_ != 0) {
        uint8_t command[5] = {kCommandSync};
        size_t length = 1;
        uint64_t run = 1;
        if (pendingSyncs_ >= 2) {
            run = std::min(pendingSyncs_, kMaxRun);
            command[0] = kCommandSyncs;
            uint64_t count = run - 2;
            do {
                command[length] = static_cast<uint8_t>(count & 0x7F);
                count >>= 7;
                if (count != 0) command[length] |= 0x80;
                ++length;
            } while (count != 0);
        }
        if (const Status status = put(command, length); status != Status::ok) return status;
        pendingSyncs_ -= run;
    }
    return Status::ok;
}

Status S98Writer::put(const uint8_t* bytes, size_t count) {
    if (file_.failed()) return Status::failed;
    return file_.append(bytes, count) ? Status::ok : Status::full;
}

}  // namespace capture
