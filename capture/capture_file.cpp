#include "capture/capture_file.h"

#include <cerrno>

namespace capture {

namespace {
// 64-bit file positions on every host (a long is 32 bits on Windows).
int seekTo(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}
}  // namespace

void putWord(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

CaptureFile::~CaptureFile() {
    if (file_) std::fclose(file_);
}

bool CaptureFile::open(const std::string& path, const std::vector<uint8_t>& header, std::vector<uint8_t> trailer) {
    if (file_) std::fclose(file_);
    dataEnd_ = 0;
    failed_ = false;
    error_ = 0;
    headerWords_.clear();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = errno;
        return false;
    }
    // The chunks are whole already; stdio's own buffer would only hide which write failed.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    trailer_ = std::move(trailer);
    pending_.reserve(kChunkSize + 64);
    pending_ = header;
    if (!flush()) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

void CaptureFile::setHeaderWord(size_t offset, uint32_t value) {
    for (auto& [at, word] : headerWords_) {
        if (at == offset) {
            word = value;
            return;
        }
    }
    headerWords_.emplace_back(offset, value);
}

bool CaptureFile::flush() {
    if (!file_ || failed_) return false;
    if (pending_.empty() && headerWords_.empty()) return true;  // the file on disk is already complete
    // Commands and trailer in one write, at the place of the old trailer.
    const size_t commands = pending_.size();
    pending_.insert(pending_.end(), trailer_.begin(), trailer_.end());
    const bool written = writeAt(dataEnd_, pending_.data(), pending_.size());
    pending_.clear();
    if (!written) {
        // Put the last good trailer back where it was: that overwrites bytes the file already
        // has, so it needs no space, and the file ends as the previous flush made it.
        const int error = errno;
        writeAt(dataEnd_, trailer_.data(), trailer_.size());
        fail(error);
        return false;
    }
    dataEnd_ += commands;
    for (const auto& [offset, value] : headerWords_) {
        std::vector<uint8_t> bytes;
        putWord(bytes, value);
        if (!writeAt(offset, bytes.data(), bytes.size())) {
            fail(errno);
            return false;
        }
    }
    headerWords_.clear();
    return true;
}

bool CaptureFile::close() {
    if (!file_) return false;
    const bool flushed = flush();
    const bool closed = std::fclose(file_) == 0;
    if (!closed) fail(errno);
    file_ = nullptr;
    return flushed && closed && !failed_;
}

bool CaptureFile::writeAt(uint64_t offset, const uint8_t* bytes, size_t count) {
    if (seekTo(file_, offset) != 0) return false;
    return std::fwrite(bytes, 1, count, file_) == count;
}

void CaptureFile::fail(int error) {
    if (!failed_) error_ = error;
    failed_ = true;
}

}  // namespace capture
