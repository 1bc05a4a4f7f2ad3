#include "tools/device/arrival_capture.h"

#include <algorithm>
#include <cmath>

namespace device {

namespace {
// Units of `perSecond` from the start to `seconds` after it, never negative (NaN counts as 0).
uint64_t unitsAt(double seconds, double perSecond) {
    const double units = std::round(seconds * perSecond);
    if (!(units > 0)) return 0;
    if (units >= 1.8e19) return UINT64_MAX;
    return static_cast<uint64_t>(units);
}
}  // namespace

bool ArrivalCapture::openS98(const std::string& path) {
    return s98_.open(path, 1, kS98SyncsPerSecond, {{"title", "velkor-device capture"}, {"system", "PC-9801"}});
}

void ArrivalCapture::addWrite(double seconds, capture::Bank bank, uint8_t reg, uint8_t value) {
    if (!started_) {
        started_ = true;
        origin_ = seconds;
    }
    lastWrite_ = seconds;
    moveTo(seconds);
    // A full or failed file keeps what it has; the device goes on serving the line.
    if (vgm_.isOpen()) {
        vgm_.write(bank, reg, value);
        if (vgm_.file().chunkFull()) vgm_.flush();
    }
    if (s98_.isOpen()) {
        s98_.write(bank, reg, value);
        if (s98_.file().chunkFull()) s98_.flush();
    }
}

bool ArrivalCapture::finish(double endSeconds) {
    if (started_) moveTo(std::min(endSeconds, lastWrite_ + kTailSeconds));
    bool good = true;
    if (vgm_.isOpen()) good = vgm_.finish() && good;
    if (s98_.isOpen()) good = s98_.finish() && good;
    return good;
}

void ArrivalCapture::moveTo(double seconds) {
    const double elapsed = seconds - origin_;
    if (vgm_.isOpen()) vgm_.advanceTo(std::min(unitsAt(elapsed, capture::VgmWriter::kSampleRate),
                                               capture::VgmWriter::kMaxSamples));
    const uint64_t syncs = unitsAt(elapsed, kS98SyncsPerSecond);
    if (syncs > syncs_) {
        s98_.sync(syncs - syncs_);
        syncs_ = syncs;
    }
}

}  // namespace device
