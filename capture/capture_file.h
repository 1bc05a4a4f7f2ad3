#pragma once
// The file under a register capture. Commands are collected in memory and written out in chunks;
// every chunk is followed on disk by the format's trailer (its end command, and whatever the format
// keeps after it), which the next chunk overwrites. So the file on disk is a complete, valid file
// after every flush, a failed write leaves the file as the last good flush made it, and a capture
// can never grow past what the format's 32-bit offsets can address.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace capture {

class CaptureFile {
public:
    // What the 32-bit offsets and sizes of both formats can hold.
    static constexpr uint64_t kFormatLimit = 0xFFFFFFFFu;

    CaptureFile() = default;
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;
    ~CaptureFile();

    // Creates the file with its header and trailer; false when it cannot be created or written.
    bool open(const std::string& path, const std::vector<uint8_t>& header, std::vector<uint8_t> trailer);
    bool isOpen() const { return file_ != nullptr; }

    // Takes one whole command; false (and nothing taken) when the file would outgrow its limit.
    bool append(const uint8_t* bytes, size_t count) {
        if (dataEnd_ + pending_.size() + count + trailer_.size() > limit_) return false;
        pending_.insert(pending_.end(), bytes, bytes + count);
        return true;
    }
    // True when enough is pending for the next chunk; the writer then sets its header words and
    // flushes.
    bool chunkFull() const { return pending_.size() >= kChunkSize; }
    // Where the trailer begins after the next flush: the data's end.
    uint64_t dataEndAfterFlush() const { return dataEnd_ + pending_.size(); }
    uint64_t sizeAfterFlush() const { return dataEndAfterFlush() + trailer_.size(); }
    // A 32-bit little-endian header word written with the next flush.
    void setHeaderWord(size_t offset, uint32_t value);

    // Writes the pending commands, the trailer and the header words. False once any write failed:
    // the file then stays as the last good flush left it. With nothing new it writes nothing.
    bool flush();
    // Flushes and closes; false when anything failed since open.
    bool close();
    // Commands taken since the last flush.
    bool hasPending() const { return !pending_.empty(); }

    bool failed() const { return failed_; }
    int error() const { return error_; }
    // For tests: a smaller size limit than the format's.
    void setLimit(uint64_t bytes) { limit_ = bytes; }

private:
    static constexpr size_t kChunkSize = 64 * 1024;

    bool writeAt(uint64_t offset, const uint8_t* bytes, size_t count);
    void fail(int error);

    std::FILE* file_ = nullptr;
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> trailer_;
    std::vector<std::pair<size_t, uint32_t>> headerWords_;
    uint64_t dataEnd_ = 0;  // bytes of header and commands on disk
    uint64_t limit_ = kFormatLimit;
    bool failed_ = false;
    int error_ = 0;
};

// Appends value as 4 little-endian bytes.
void putWord(std::vector<uint8_t>& bytes, uint32_t value);

}  // namespace capture
