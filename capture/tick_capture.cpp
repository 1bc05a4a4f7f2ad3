#include "capture/tick_capture.h"

#include <cctype>

namespace capture {

namespace {
bool endsWithNoCase(const std::string& text, const char* suffix) {
    const std::string end = suffix;
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[text.size() - end.size() + i]);
        if (std::tolower(c) != end[i]) return false;
    }
    return true;
}
}  // namespace

std::optional<Format> formatOf(const std::string& path) {
    if (endsWithNoCase(path, ".s98")) return Format::s98;
    if (endsWithNoCase(path, ".vgm")) return Format::vgm;
    return std::nullopt;
}

const char* formatName(Format format) { return format == Format::s98 ? "S98" : "VGM"; }

bool TickCapture::open(const std::string& path, Format format, uint32_t tickMs, const std::string& title) {
    format_ = format;
    tickMs_ = tickMs;
    counts_ = saved_ = {};
    ticksAtLastWrite_ = 0;
    failed_ = false;
    if (format == Format::vgm) return vgm_.open(path);
    return s98_.open(path, tickMs, 1000, {{"title", title}, {"system", "PC-9801"}});
}

Status TickCapture::registerWrite(Bank bank, uint8_t reg, uint8_t value) {
    const Status status = format_ == Format::s98 ? s98_.write(bank, reg, value) : vgm_.write(bank, reg, value);
    if (status != Status::ok) return status;
    ++(bank == Bank::A0 ? counts_.writesA0 : counts_.writesA1);
    ticksAtLastWrite_ = counts_.ticks;
    if (file().chunkFull() && !flush()) return Status::failed;
    return Status::ok;
}

bool TickCapture::flush() {
    const bool flushed = format_ == Format::s98 ? s98_.flush() : vgm_.flush();
    if (flushed) {
        saved_ = {counts_.writesA0, counts_.writesA1, ticksAtLastWrite_};
    } else {
        failed_ = true;
    }
    return flushed;
}

bool TickCapture::finish() {
    const bool finished = format_ == Format::s98 ? s98_.finish() : vgm_.finish();
    if (!finished) failed_ = true;
    return finished;
}

Status TickCapture::tick() {
    if (format_ == Format::s98) {
        s98_.sync();
    } else if (const Status status = vgm_.advanceTo(vgmSampleOfTick(counts_.ticks + 1, tickMs_));
               status != Status::ok) {
        return status;
    }
    ++counts_.ticks;
    return Status::ok;
}

}  // namespace capture
