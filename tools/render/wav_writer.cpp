#include "tools/render/wav_writer.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

namespace render {

namespace {

void put16(std::vector<uint8_t>& bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& bytes, uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

void putTag(std::vector<uint8_t>& bytes, const char* tag) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(tag[i]));
}

std::vector<uint8_t> header(uint32_t rate, uint32_t dataBytes) {
    constexpr uint16_t kPcm = 1, kChannels = 2, kBits = 16;
    std::vector<uint8_t> bytes;
    putTag(bytes, "RIFF");
    put32(bytes, WavWriter::kHeaderBytes - 8 + dataBytes);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    put32(bytes, 16);
    put16(bytes, kPcm);
    put16(bytes, kChannels);
    put32(bytes, rate);
    put32(bytes, rate * WavWriter::kBytesPerFrame);
    put16(bytes, WavWriter::kBytesPerFrame);
    put16(bytes, kBits);
    putTag(bytes, "data");
    put32(bytes, dataBytes);
    return bytes;
}

}  // namespace

int16_t toPcm16(float sample) {
    if (std::isnan(sample)) return 0;
    const float limited = std::fmin(std::fmax(sample, -1.0f), 1.0f);
    return static_cast<int16_t>(std::lrint(limited * 32767.0f));
}

WavWriter::~WavWriter() {
    if (file_) std::fclose(file_);
}

bool WavWriter::open(const std::string& path, uint32_t rate, std::string& error) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    // Only a file of its own is deleted after a failure, never a device such as /dev/full.
    std::error_code ignored;
    removable_ = std::filesystem::is_regular_file(path, ignored);
    const std::vector<uint8_t> bytes = header(rate, 0);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        discard();
        return false;
    }
    rate_ = rate;
    return true;
}

bool WavWriter::write(const float* frames, size_t count) {
    if (!file_ || error_) return false;
    if (count > kMaxFrames - frames_) {
        error_ = EFBIG;
        return false;
    }
    uint8_t bytes[4096 * kBytesPerFrame];
    while (count > 0) {
        const size_t block = count < 4096 ? count : 4096;
        for (size_t i = 0; i < 2 * block; ++i) {
            const uint16_t value = static_cast<uint16_t>(toPcm16(frames[i]));
            bytes[2 * i] = static_cast<uint8_t>(value);
            bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
        }
        if (std::fwrite(bytes, kBytesPerFrame, block, file_) != block) {
            error_ = errno ? errno : EIO;
            return false;
        }
        frames_ += block;
        frames += 2 * block;
        count -= block;
    }
    return true;
}

std::string WavWriter::writeError() const {
    return "cannot write " + path_ + ": " + std::strerror(error_ ? error_ : EIO);
}

bool WavWriter::finish(std::string& error) {
    if (!file_) return false;
    const std::vector<uint8_t> bytes = header(rate_, static_cast<uint32_t>(frames_ * kBytesPerFrame));
    errno = 0;
    bool good = !error_ && std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0 &&
                std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    if (!good && !error_) error_ = errno ? errno : EIO;
    if (std::fclose(file_) != 0 && good) {
        good = false;
        error_ = errno ? errno : EIO;
    }
    file_ = nullptr;
    if (!good) {
        error = writeError();
        if (removable_) std::remove(path_.c_str());
    }
    return good;
}

void WavWriter::discard() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    if (removable_) std::remove(path_.c_str());
}

}  // namespace render
