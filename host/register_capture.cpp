#include "host/register_capture.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

RegisterCapture registerCapture;

RegisterCapture::~RegisterCapture() {
    if (!capture_) return;
    capture_->finish();
    platform::disarmOrderlyEnd();
}

bool RegisterCapture::start(const std::string& path, capture::Format format, uint32_t tickMs,
                            const std::string& title) {
    auto capture = std::make_unique<capture::TickCapture>();
    if (!capture->open(path, format, tickMs, title)) {
        std::printf("file open error.\n");
        return false;
    }
    capture_ = std::move(capture);
    path_ = path;
    // From now on a signal or a closing console finishes the file before the program ends.
    platform::armOrderlyEnd();
    std::printf("capture start: %s (%s, %u msec per tick)\n", path_.c_str(), capture::formatName(format), tickMs);
    return true;
}

void RegisterCapture::stop() {
    if (!capture_) return;
    const bool finished = capture_->finish();
    const capture::CaptureCounts counts = capture_->counts();
    if (!finished) {
        std::printf("capture write error: %s (%s)\n", path_.c_str(), std::strerror(capture_->error()));
    }
    std::printf("capture end: %s, A0 writes %llu, A1 writes %llu, ticks %llu, %.3f s\n", path_.c_str(),
                static_cast<unsigned long long>(counts.writesA0), static_cast<unsigned long long>(counts.writesA1),
                static_cast<unsigned long long>(counts.ticks), capture_->seconds());
    capture_.reset();
    platform::disarmOrderlyEnd();
}

void RegisterCapture::flush() {
    if (capture_ && !capture_->flush()) endOn(capture::Status::failed);
}

void RegisterCapture::record(capture::Bank bank, uint8_t reg, uint8_t value) {
    if (const capture::Status status = capture_->registerWrite(bank, reg, value); status != capture::Status::ok) {
        endOn(status);
    }
}

void RegisterCapture::recordTick() {
    if (const capture::Status status = capture_->tick(); status != capture::Status::ok) endOn(status);
}

void RegisterCapture::endOn(capture::Status status) {
    if (status == capture::Status::full) {
        std::printf("capture full: %s holds all its format can (32-bit sizes), capture stopped\n", path_.c_str());
    }
    // A failed write is reported by stop, with the system's reason.
    stop();
}
