#include "tools/device/device_sound.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_output.h"
#include "synth/chip_renderer.h"
#include "tools/render/wav_writer.h"

namespace device {

namespace {

constexpr size_t kBlockFrames = DeviceSound::kRate / 100;  // 10 ms

uint64_t framesAt(double seconds) { return unitsIn(seconds, DeviceSound::kRate); }

struct TimedWrite {
    uint64_t frame;
    int bank;
    uint8_t reg;
    uint8_t value;
};

}  // namespace

// The WAV file, rendered as the writes arrive: no real time involved.
class WavRendering {
public:
    bool open(const std::string& path, std::string& error) { return file_.open(path, DeviceSound::kRate, error); }

    void renderUntil(uint64_t frame) {
        while (!failed_ && chip_.framesRendered() < frame) {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(kBlockFrames, frame - chip_.framesRendered()));
            chip_.render(count, block_.data());
            failed_ = !file_.write(block_.data(), count);
        }
    }
    void write(int bank, uint8_t reg, uint8_t value) { chip_.write(bank, reg, value); }
    bool finish(std::string& error) {
        if (!failed_) return file_.finish(error);
        error = file_.writeError();
        std::string ignored;
        file_.finish(ignored);  // the header still says what the file holds
        return false;
    }

private:
    synth::ChipRenderer chip_;
    render::WavWriter file_;
    std::vector<float> block_ = std::vector<float>(2 * kBlockFrames);
    bool failed_ = false;
};

// The sound card, fed by a thread of its own: the writes are queued with the frame they belong at
// (their arrival plus a fixed latency, which absorbs the host's scheduling), and the thread renders
// block after block, the card's blocking write pacing it at real time.
class LivePlayback {
public:
    static constexpr double kLatencySeconds = 0.1;

    explicit LivePlayback(std::unique_ptr<platform::AudioOutput> output)
        : output_(std::move(output)), start_(std::chrono::steady_clock::now()), thread_([this] { run(); }) {}
    ~LivePlayback() { stop(0); }

    // The frame of the card's timeline that plays a fixed latency after `seconds` on the steady
    // clock (the device's clock, CLOCK_MONOTONIC).
    uint64_t frameOf(double seconds) const {
        const double started = std::chrono::duration<double>(start_.time_since_epoch()).count();
        return framesAt(seconds - started + kLatencySeconds);
    }
    uint64_t frameOfNow() const {
        return frameOf(std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    }
    void add(uint64_t frame, int bank, uint8_t reg, uint8_t value) {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({frame, bank, reg, value});
    }
    // Plays on until `endFrame`, then stops.
    void stop(uint64_t endFrame) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            stopping_ = true;
            endFrame_ = endFrame;
        }
        thread_.join();
        output_->finish();
    }

private:
    void run() {
        // Signals are the main thread's: it polls the line and ends the device.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        std::vector<float> block(2 * kBlockFrames);
        for (;;) {
            std::vector<TimedWrite> due;
            uint64_t endFrame = 0;
            bool stopping = false;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                due.swap(queue_);
                stopping = stopping_;
                endFrame = endFrame_;
            }
            if (stopping && chip_.framesRendered() >= endFrame && due.empty()) return;
            pending_.insert(pending_.end(), due.begin(), due.end());
            renderBlock(block);
            if (!output_->write(block.data(), kBlockFrames)) return;
            keepToRealTime();
        }
    }

    // One block, each write at its frame (a late one at the start of the block).
    void renderBlock(std::vector<float>& block) {
        const uint64_t blockStart = chip_.framesRendered();
        const uint64_t blockEnd = blockStart + kBlockFrames;
        size_t done = 0;
        size_t applied = 0;
        for (; applied < pending_.size() && pending_[applied].frame < blockEnd; ++applied) {
            const TimedWrite& w = pending_[applied];
            const uint64_t at = std::max(w.frame, blockStart);
            const size_t upTo = static_cast<size_t>(at - blockStart);
            if (upTo > done) {
                chip_.render(upTo - done, block.data() + 2 * done);
                done = upTo;
            }
            chip_.write(w.bank, w.reg, w.value);
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(applied));
        if (done < kBlockFrames) chip_.render(kBlockFrames - done, block.data() + 2 * done);
    }

    // A device that takes frames faster than it plays them (a null device) must not make the
    // thread render ahead without bound.
    void keepToRealTime() {
        const uint64_t ahead = framesAt(2 * kLatencySeconds);
        while (chip_.framesRendered() > frameOfNow() + ahead) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    std::unique_ptr<platform::AudioOutput> output_;
    std::chrono::steady_clock::time_point start_;
    synth::ChipRenderer chip_;
    std::mutex mutex_;
    std::vector<TimedWrite> queue_;
    std::vector<TimedWrite> pending_;  // the thread's own, in arrival order
    bool stopping_ = false;
    uint64_t endFrame_ = 0;
    std::thread thread_;  // last: it starts running once everything above exists
};

DeviceSound::DeviceSound() = default;
DeviceSound::~DeviceSound() = default;

bool DeviceSound::openWav(const std::string& path, std::string& error) {
    auto wav = std::make_unique<WavRendering>();
    if (!wav->open(path, error)) return false;
    wav_ = std::move(wav);
    return true;
}

bool DeviceSound::openPlayback(std::string& reason) {
    auto output = platform::openAudioOutput(kRate, reason);
    if (!output) return false;
    live_ = std::make_unique<LivePlayback>(std::move(output));
    return true;
}

void DeviceSound::addWrite(double seconds, capture::Bank bank, uint8_t reg, uint8_t value) {
    const double elapsed = timeline_.arrive(seconds);
    const int bankNumber = bank == capture::Bank::A0 ? 0 : 1;
    if (wav_) {
        wav_->renderUntil(framesAt(elapsed));
        wav_->write(bankNumber, reg, value);
    }
    if (live_) live_->add(live_->frameOf(seconds), bankNumber, reg, value);
}

bool DeviceSound::finish(double endSeconds, std::string& error) {
    const bool started = timeline_.started();
    if (live_) {
        // What is queued plays out, and the release of the last notes up to the tail.
        live_->stop(started ? live_->frameOfNow() + framesAt(timeline_.tailLeft(endSeconds)) : 0);
        live_.reset();
    }
    if (!wav_) return true;
    if (started) wav_->renderUntil(framesAt(timeline_.endFromStart(endSeconds)));
    const bool good = wav_->finish(error);
    wav_.reset();
    return good;
}

}  // namespace device
