#include "synth/rhythm.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace synth {

namespace {

constexpr uint8_t kRegKey = 0x10;
constexpr uint8_t kRegTotalLevel = 0x11;
constexpr uint8_t kRegFirstInstrument = 0x18;
constexpr uint8_t kDump = 0x80;
constexpr uint8_t kLeft = 0x80;
constexpr uint8_t kRight = 0x40;

constexpr int kMaxTotalLevel = 63;
constexpr int kMaxInstrumentLevel = 31;
constexpr double kDbPerStep = 0.75;

// Below this both of a voice's levels are inaudible (-80 dB): the voice stops.
constexpr float kSilent = 1e-4f;
constexpr double kPi = 3.14159265358979323846;

constexpr int kSineSize = 1024;
const std::array<float, kSineSize + 1> kSine = [] {
    std::array<float, kSineSize + 1> table{};
    for (int i = 0; i <= kSineSize; ++i) {
        table[i] = static_cast<float>(std::sin(2 * kPi * i / kSineSize));
    }
    return table;
}();

float sine(float phase) {
    const float index = phase * kSineSize;
    const int i = static_cast<int>(index);
    const float f = index - static_cast<float>(i);
    return kSine[i] + (kSine[i + 1] - kSine[i]) * f;
}

// The per-sample factor of a decay with time constant seconds.
float decayFactor(double seconds, double rate) {
    return static_cast<float>(std::exp(-1.0 / (seconds * rate)));
}

// One-pole coefficients: a high pass keeps y += x - x', y *= c; a low pass y += c (x - y).
float highPassCoefficient(double hz, double rate) {
    return static_cast<float>(std::exp(-2 * kPi * hz / rate));
}
float lowPassCoefficient(double hz, double rate) {
    return static_cast<float>(1 - std::exp(-2 * kPi * hz / rate));
}

// Time constants and bands of the six substitutes: a sine falling in pitch for the bass drum,
// a short tone body with a burst of mid noise for the snare, bright long noise for the top
// cymbal and short for the hi-hat, a lower sweep for the tom and a short high knock for the rim
// shot.
struct Recipe {
    double startHz, endHz, sweepSeconds;
    double toneLevel, noiseLevel;
    double toneSeconds, noiseSeconds;
    double highPassHz, lowPassHz;
};

constexpr Recipe kRecipes[Rhythm::kInstruments] = {
    {150, 48, 0.035, 0.95, 0.05, 0.130, 0.004, 200, 3000},     // bass drum
    {230, 180, 0.020, 0.45, 0.70, 0.045, 0.090, 1200, 9000},   // snare
    {0, 0, 1, 0.0, 1.4, 1, 0.330, 6000, 20000},                // top cymbal
    {0, 0, 1, 0.0, 1.9, 1, 0.045, 8000, 20000},                // hi-hat
    {240, 150, 0.060, 0.90, 0.10, 0.160, 0.012, 400, 4000},    // tom
    {900, 820, 0.010, 0.60, 0.40, 0.014, 0.008, 2500, 12000},  // rim shot
};

// The loudest a substitute gets (level 0 attenuation), so that each peaks near 1.0.
constexpr float kPeak = 1.0f;

}  // namespace

Rhythm::Rhythm(uint32_t clock) : rate_(static_cast<float>(clock / 144.0)) {
    for (int i = 0; i < kInstruments; ++i) {
        const Recipe& r = kRecipes[i];
        Character& c = character_[i];
        c.startHz = static_cast<float>(r.startHz);
        c.endHz = static_cast<float>(r.endHz);
        c.sweepDecay = decayFactor(r.sweepSeconds, rate_);
        c.toneLevel = static_cast<float>(r.toneLevel) * kPeak;
        c.noiseLevel = static_cast<float>(r.noiseLevel) * kPeak;
        c.toneDecay = decayFactor(r.toneSeconds, rate_);
        c.noiseDecay = decayFactor(r.noiseSeconds, rate_);
        c.highPass = highPassCoefficient(r.highPassHz, rate_);
        c.lowPass = lowPassCoefficient(std::min(r.lowPassHz, 0.45 * rate_), rate_);
    }
    // A dump fades a voice out in a few milliseconds rather than cutting it (no click).
    releaseDecay_ = decayFactor(0.001, rate_);
    reset();
}

void Rhythm::reset() {
    std::fill(std::begin(regs_), std::end(regs_), 0);
    for (Voice& v : voices_) v = Voice{};
    for (int i = 0; i < kInstruments; ++i) updateGain(i);
    noiseState_ = 1;
}

bool Rhythm::sounding(int instrument) const {
    return instrument >= 0 && instrument < kInstruments && voices_[instrument].active;
}

void Rhythm::updateGain(int instrument) {
    const uint8_t control = regs_[kRegFirstInstrument + instrument];
    const int steps = (kMaxTotalLevel - (regs_[kRegTotalLevel] & 0x3F)) +
                      (kMaxInstrumentLevel - (control & 0x1F));
    const float gain = static_cast<float>(std::pow(10.0, -kDbPerStep * steps / 20.0));
    gainLeft_[instrument] = (control & kLeft) ? gain : 0.0f;
    gainRight_[instrument] = (control & kRight) ? gain : 0.0f;
}

void Rhythm::keyOn(int instrument) {
    const Character& c = character_[instrument];
    Voice& v = voices_[instrument];
    v = Voice{};
    v.active = true;
    v.frequency = c.endHz / rate_;
    v.sweep = (c.startHz - c.endHz) / rate_;
    v.toneLevel = c.toneLevel;
    v.noiseLevel = c.noiseLevel;
}

void Rhythm::write(uint8_t reg, uint8_t value) {
    if (reg < 0x10 || reg > 0x1F) return;
    regs_[reg] = value;
    if (reg == kRegKey) {
        for (int i = 0; i < kInstruments; ++i) {
            if (!(value >> i & 1)) continue;
            if (value & kDump) {
                voices_[i].dumped = true;
            } else {
                keyOn(i);
            }
        }
    } else if (reg == kRegTotalLevel) {
        for (int i = 0; i < kInstruments; ++i) updateGain(i);
    } else if (reg >= kRegFirstInstrument && reg < kRegFirstInstrument + kInstruments) {
        updateGain(reg - kRegFirstInstrument);
    }
}

// White noise in [-1, 1) from a 32-bit xorshift.
float Rhythm::noise() {
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    return static_cast<float>(static_cast<int32_t>(noiseState_)) * (1.0f / 2147483648.0f);
}

StereoSample Rhythm::next() {
    StereoSample out;
    for (int i = 0; i < kInstruments; ++i) {
        Voice& v = voices_[i];
        if (!v.active) continue;
        const Character& c = character_[i];
        float sample = 0;
        if (v.toneLevel > kSilent) {
            sample += v.toneLevel * sine(v.phase);
            v.phase += v.frequency + v.sweep;
            v.phase -= std::floor(v.phase);
            v.sweep *= c.sweepDecay;
            v.toneLevel *= c.toneDecay;
        }
        if (v.noiseLevel > kSilent) {
            const float white = noise();
            v.highPassOut = c.highPass * (v.highPassOut + white - v.highPassIn);
            v.highPassIn = white;
            v.lowPassOut += c.lowPass * (v.highPassOut - v.lowPassOut);
            sample += v.noiseLevel * v.lowPassOut;
            v.noiseLevel *= c.noiseDecay;
        }
        if (v.dumped) {
            v.release *= releaseDecay_;
            sample *= v.release;
        }
        if ((v.toneLevel <= kSilent && v.noiseLevel <= kSilent) || v.release <= kSilent) {
            v.active = false;
            continue;
        }
        out.left += sample * gainLeft_[i];
        out.right += sample * gainRight_[i];
    }
    return out;
}

}  // namespace synth
