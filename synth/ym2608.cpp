#include "synth/ym2608.h"

namespace synth {

namespace {
// The parts' shares of the output. The chip sums FM, ADPCM and rhythm digitally and the board mixes
// the SSG's analog output in: on PC-9801 boards one SSG channel at its loudest peaks at about a
// quarter of one FM channel at its loudest (0.25 to 0.3, measured on the boards). The master level
// keeps every part at its loudest together inside full scale, so the output never clips.
constexpr float kSsgLevel = 0.27f;
constexpr float kAdpcmLevel = 1.0f;
constexpr float kRhythmLevel = 1.0f;
constexpr float kLoudestSum = 6.0f + 3 * kSsgLevel + kAdpcmLevel + 6 * kRhythmLevel;
constexpr float kMasterLevel = 1.0f / kLoudestSum;

constexpr uint8_t kLastSsgRegister = 0x0F;
constexpr uint8_t kLastRhythmRegister = 0x1F;
constexpr uint8_t kLastAdpcmRegister = 0x10;
constexpr uint8_t kFirstFmRegister = 0x20;
}  // namespace

void Ym2608::reset() {
    fm_.reset();
    ssg_.reset();
    adpcm_.reset();
    rhythm_.reset();
}

void Ym2608::write(int bank, uint8_t reg, uint8_t value) {
    if (bank == 0) {
        if (reg <= kLastSsgRegister) {
            ssg_.write(reg, value);
        } else if (reg <= kLastRhythmRegister) {
            rhythm_.write(reg, value);
        } else {
            fm_.write(0, reg, value);
        }
    } else if (reg <= kLastAdpcmRegister) {
        adpcm_.write(reg, value);
    } else if (reg >= kFirstFmRegister) {
        fm_.write(1, reg, value);
    }
}

void Ym2608::generate(size_t frames, float* out) {
    for (size_t i = 0; i < frames; ++i) {
        StereoSample sum = fm_.next();
        const StereoSample ssg = ssg_.next();
        const StereoSample adpcm = adpcm_.next();
        const StereoSample rhythm = rhythm_.next();
        sum.left += ssg.left * kSsgLevel + adpcm.left * kAdpcmLevel + rhythm.left * kRhythmLevel;
        sum.right += ssg.right * kSsgLevel + adpcm.right * kAdpcmLevel + rhythm.right * kRhythmLevel;
        out[2 * i] = sum.left * kMasterLevel;
        out[2 * i + 1] = sum.right * kMasterLevel;
    }
}

}  // namespace synth
