#pragma once
// One software YM2608 (OPNA): register writes in, stereo sound out at the chip's own rate
// (clock / 144, 55466 Hz at the PC-9801-86 board's 7987200 Hz). It knows nothing of who writes
// the registers; callers feed it on a timeline of their own.
#include <cstddef>
#include <cstdint>

#include "synth/adpcm_b.h"
#include "synth/fm_engine.h"
#include "synth/rhythm.h"
#include "synth/ssg.h"

namespace synth {

constexpr uint32_t kYm2608Clock = 7987200;

class Ym2608 {
public:
    explicit Ym2608(uint32_t clock = kYm2608Clock) : clock_(clock) { reset(); }

    void reset();
    // bank 0 is A0 (the first address/data pair), 1 is A1.
    void write(int bank, uint8_t reg, uint8_t value);
    double sampleRate() const { return clock_ / 144.0; }
    // frames stereo frames at sampleRate(), interleaved left and right, full scale at +-1.0.
    void generate(size_t frames, float* out);

private:
    uint32_t clock_;
    FmEngine fm_;
    Ssg ssg_;
    AdpcmB adpcm_;
    Rhythm rhythm_;
};

}  // namespace synth
