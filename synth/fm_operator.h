#pragma once
// One operator: a phase accumulator driving the sine table, scaled by its envelope, total level
// and the LFO's tremolo. Its registers arrive through the setters, already split by field.
#include <algorithm>
#include <cstdint>

#include "synth/fm_envelope.h"
#include "synth/fm_phase.h"
#include "synth/fm_tables.h"

namespace synth::fm {

class Operator {
public:
    void reset();

    void setDetuneMultiple(uint8_t value);  // 30-3F
    void setTotalLevel(uint8_t value);      // 40-4F
    void setKeyScaleAttack(uint8_t value);  // 50-5F
    void setAmDecay(uint8_t value);         // 60-6F
    void setSustainRate(uint8_t value);     // 70-7F
    void setSustainRelease(uint8_t value);  // 80-8F
    void setSsgShape(uint8_t value);        // 90-9F
    void setPitch(Pitch pitch);

    void keyOn();
    void keyOff();
    void stepEnvelope(uint32_t counter) {
        envelope_.step(settings_, keyCode_, counter);
        refreshLevel();
    }
    // Vibrato: the pitch scaled by (1 + factor / 2^20) until the next call.
    void setVibrato(int32_t vibratoFactor);

    // The output (+-8191) for a modulation in sine steps (1024 a cycle) and the LFO's tremolo
    // attenuation; the phase then advances one sample.
    int output(int modulation, int tremolo) {
        const uint32_t sineIndex = (phase_ >> (kPhaseBits - kSineBits)) + static_cast<uint32_t>(modulation);
        phase_ = (phase_ + increment_) & ((1u << kPhaseBits) - 1);
        const int attenuation = std::min(kEnvelopeMax, level_ + (tremoloOn_ ? tremolo : 0));
        return sineAmplitude(sineIndex, static_cast<uint32_t>(attenuation) << kEnvelopeUnitsToLog);
    }

    const Envelope& envelope() const { return envelope_; }

private:
    void updateIncrement();
    void refreshLevel() { level_ = envelope_.attenuation() + totalLevel_; }

    EnvelopeSettings settings_;
    Envelope envelope_;
    Pitch pitch_;
    int keyCode_ = 0;
    int detune_ = 0;
    int multiple_ = 0;
    int totalLevel_ = 0;  // in envelope units (0.75 dB a register step)
    int level_ = kEnvelopeMax;  // envelope and total level, the attenuation before the tremolo
    bool tremoloOn_ = false;
    uint32_t phase_ = 0;
    uint32_t increment_ = 0;
    int32_t vibrato_ = 0;
};

}  // namespace synth::fm
