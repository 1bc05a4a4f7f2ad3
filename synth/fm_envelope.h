#pragma once
// One operator's envelope generator: attack, decay to the sustain level, sustain (the second
// decay), release, and the SSG-type repeating shapes. It runs at the envelope clock (one step every
// three samples) and answers an attenuation of 0 (loudest) to 1023 (silent).
#include <cstdint>

namespace synth::fm {

enum class EnvelopePhase { Attack, Decay, Sustain, Release };

struct EnvelopeSettings {
    int attackRate = 0;   // 0-31
    int decayRate = 0;    // 0-31
    int sustainRate = 0;  // 0-31
    int releaseRate = 0;  // 0-15
    int sustainLevel = 0; // 0-15, 3 dB a step
    int keyScale = 0;     // 0-3
    int ssgShape = 0;     // bit 3 enables; bits 0-2 hold, alternate, attack
};

class Envelope {
public:
    void reset();
    void keyOn(const EnvelopeSettings& settings, int keyCode);
    void keyOff();
    void step(const EnvelopeSettings& settings, int keyCode, uint32_t counter);

    // The attenuation the operator sounds at, with any SSG-type inversion applied.
    int attenuation() const { return inverted_ ? ((kSsgEnd - level_) & 0x3FF) : level_; }
    EnvelopePhase phase() const { return phase_; }
    bool keyedOn() const { return keyedOn_; }

private:
    static constexpr int kSsgEnd = 0x200;

    void startAttack(const EnvelopeSettings& settings, int keyCode);
    void stepAttack(int rate, uint32_t counter);
    void stepDecaying(int rate, uint32_t counter, bool ssg);
    void endSsgCycle(const EnvelopeSettings& settings, int keyCode);

    int level_ = 0x3FF;
    EnvelopePhase phase_ = EnvelopePhase::Release;
    bool keyedOn_ = false;
    bool inverted_ = false;
    bool ssgHeld_ = false;
};

// The effective rate (0-63) of a 5-bit rate register with key scaling: 2R + keyCode >> (3 - KS).
int effectiveRate(int rate, int keyScale, int keyCode);

// The sustain level as an attenuation: 3 dB steps, 15 standing for 93 dB.
int sustainAttenuation(int sustainLevel);

}  // namespace synth::fm
