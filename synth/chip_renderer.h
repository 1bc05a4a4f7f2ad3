#pragma once
// One software YM2608 heard at an ordinary audio rate: the chip renders at its own rate (clock /
// 144) and a Resampler brings that to the output rate. The timeline is the caller's: render up to an
// event's time, then write the event's register. A write takes effect at the chip frame that
// corresponds to the output frames rendered so far, so event times stay exact; the audio as a whole
// is late by the resampler's constant delay (half its filter, about 1.2 ms at 44100 Hz).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "synth/resampler.h"
#include "synth/ym2608.h"

namespace synth {

class ChipRenderer {
public:
    static constexpr uint32_t kDefaultRate = 44100;

    explicit ChipRenderer(uint32_t clock = kYm2608Clock, uint32_t outputRate = kDefaultRate);

    // bank 0 is A0, 1 is A1, as for Ym2608::write.
    void write(int bank, uint8_t reg, uint8_t value) { chip_.write(bank, reg, value); }
    // The next `frames` stereo frames at the output rate, interleaved left and right, each sample
    // limited to [-1, 1] (the filter's ringing may overshoot a full-scale edge).
    void render(size_t frames, float* out);

    uint32_t outputRate() const { return resampler_.outputRate(); }
    double chipRate() const { return chip_.sampleRate(); }
    uint64_t framesRendered() const { return framesRendered_; }
    uint64_t chipFramesGenerated() const { return chipFrames_; }
    const Resampler& resampler() const { return resampler_; }

private:
    Ym2608 chip_;
    Resampler resampler_;
    std::vector<float> chipBuffer_;
    uint64_t framesRendered_ = 0;
    uint64_t chipFrames_ = 0;
};

}  // namespace synth
