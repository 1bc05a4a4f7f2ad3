#pragma once
// The FM part's fixed tables: the quarter sine in the log domain, the exponent that turns an
// attenuation back into a linear amplitude, the detune amounts, and the envelope generator's
// increments per rate.
#include <array>
#include <cstdint>

namespace synth::fm {

// Phase: the top 10 bits of an operator's 20-bit phase index one full sine cycle.
constexpr int kPhaseBits = 20;
constexpr int kSineBits = 10;
constexpr int kSineSteps = 1 << kSineBits;

// Attenuation in the log domain: 256 units halve the amplitude (6.02 dB).
constexpr int kLogUnitsPerOctave = 256;

// The loudest an operator's output can be: 14-bit signed, +-8191.
constexpr int kOperatorFullScale = 8191;

// The envelope's attenuation: 10 bits, 0 the loudest, 1023 silent; 1 unit = 96 dB / 1024.
constexpr int kEnvelopeMax = 1023;
constexpr int kEnvelopeUnitsToLog = 2;  // envelope unit << 2 = log unit (64 envelope units per octave)

// The largest attenuation in log units with an amplitude left; beyond it the output is 0.
constexpr int kAudibleLogAttenuation = 14 * kLogUnitsPerOctave;
constexpr uint16_t kNegativeSine = 0x8000;

// -log2(|sin|) of each phase index (0..1023) in log units, kNegativeSine marking the negative half.
extern const std::array<uint16_t, kSineSteps> kLogSine;
// The amplitude (0..8191) of each log attenuation below kAudibleLogAttenuation.
extern const std::array<uint16_t, kAudibleLogAttenuation> kAmplitude;

// The signed amplitude of a sine at a phase index under an attenuation in log units.
inline int sineAmplitude(uint32_t phaseIndex, uint32_t logAttenuation) {
    const uint32_t sine = kLogSine[phaseIndex & (kSineSteps - 1)];
    const uint32_t total = (sine & ~uint32_t{kNegativeSine}) + logAttenuation;
    const int amplitude = total < uint32_t{kAudibleLogAttenuation} ? kAmplitude[total] : 0;
    return (sine & kNegativeSine) ? -amplitude : amplitude;
}

// The detune added to the phase increment, by detune code (0-7: bit 2 the sign) and key code.
int detuneOffset(int detuneCode, int keyCode);

// The key code of a block and F-number: the block and the F-number's top bits (0-31).
int keyCode(int block, int fnum);

// The envelope increment for an effective rate (0-63) at one step of the envelope counter.
int envelopeIncrement(int rate, uint32_t counter);

}  // namespace synth::fm
