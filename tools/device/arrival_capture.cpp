#include "tools/device/arrival_capture.h"

#include <algorithm>

namespace device {

bool ArrivalCapture::openS98(const std::string& path) {
    return s98_.open(path, 1, kS98SyncsPerSecond, {{"title", "velkor-device capture"}, {"system", "PC-9801"}});
}

void ArrivalCapture::addWrite(double seconds, capture::Bank bank, uint8_t reg, uint8_t value) {
    moveTo(timeline_.arrive(seconds));
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
    if (timeline_.started()) moveTo(timeline_.endFromStart(endSeconds));
    bool good = true;
    if (vgm_.isOpen()) good = vgm_.finish() && good;
    if (s98_.isOpen()) good = s98_.finish() && good;
    return good;
}

void ArrivalCapture::moveTo(double elapsed) {
    if (vgm_.isOpen()) vgm_.advanceTo(std::min(unitsIn(elapsed, capture::VgmWriter::kSampleRate),
                                               capture::VgmWriter::kMaxSamples));
    const uint64_t syncs = unitsIn(elapsed, kS98SyncsPerSecond);
    if (syncs > syncs_) {
        s98_.sync(syncs - syncs_);
        syncs_ = syncs;
    }
}

}  // namespace device
