#pragma once
// Band-limited resampling of interleaved stereo from the chip's own rate (clock / 144) to an output
// rate such as 44100 or 48000 Hz: a polyphase windowed-sinc (Kaiser, designed for 80 dB) low-pass.
// Its stopband begins at the lower of the two Nyquist frequencies, so nothing above the output's
// Nyquist frequency folds back into the audio; its passband is flat up to 20 kHz or 90 % of that
// frequency, whichever is lower (19845 Hz at 44100 Hz, and still within 0.05 dB at 20 kHz). The
// filter has 128 taps at 44100 Hz and 72 at 48000 Hz.
//
// Output frame n sits at input position n * inputRate / outputRate, less a constant delay of half the
// filter's length (taps() / 2 input frames). The position is kept as an exact fraction (integer
// part and remainder), so no rounding adds up over any length of run. When the fraction's
// denominator is small (1323 phases for 55466.67 Hz to 44100 Hz, 45 for 48000 Hz) every phase has
// its own exact coefficients; otherwise the phase is rounded to the nearest of kMaxPhases.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace synth {

class Resampler {
public:
    static constexpr uint32_t kMaxPhases = 4096;
    // The largest output block process() takes at once.
    static constexpr size_t kMaxBlock = 4096;

    // Input rate inputNumerator / inputDenominator Hz (clock and 144 for the chip), output rate in Hz.
    Resampler(uint64_t inputNumerator, uint64_t inputDenominator, uint32_t outputRate);

    // Input frames process() needs for the next `frames` output frames (frames <= kMaxBlock).
    size_t inputNeeded(size_t frames) const;
    // Takes exactly inputNeeded(frames) input frames and produces `frames` output frames, both
    // interleaved left and right.
    void process(const float* in, size_t inputFrames, float* out, size_t frames);

    size_t taps() const { return taps_; }
    uint32_t phases() const { return phases_; }
    uint32_t outputRate() const { return outputRate_; }

private:
    // The filter for these rates: designed once and shared by every resampler between them (the
    // last few designs are kept).
    static std::shared_ptr<const std::vector<float>> coefficientsFor(uint64_t inputNumerator, uint64_t inputDenominator,
                                                                    uint32_t outputRate, uint32_t phases, size_t& taps);
    static std::vector<float> design(double inputRate, uint32_t outputRate, uint32_t phases, size_t& taps);

    uint32_t outputRate_;
    uint64_t step_ = 0;      // whole input frames per output frame
    uint64_t stepRem_ = 0;   // and the remainder, in units of 1 / den_
    uint64_t den_ = 1;       // the position's denominator
    uint64_t rem_ = 0;       // the position's fraction, in units of 1 / den_
    uint64_t nextNewest_ = 0;  // the newest input frame the next output frame uses
    uint64_t consumed_ = 0;    // input frames taken so far
    uint32_t phases_ = 1;
    size_t taps_ = 0;
    std::shared_ptr<const std::vector<float>> coefficients_;  // (phases_ + 1) rows of taps_, oldest input first
    std::vector<float> left_, right_;  // taps_ - 1 frames of history, then the current block
};

}  // namespace synth
