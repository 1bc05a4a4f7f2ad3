#include "synth/fm_envelope.h"

#include <algorithm>

#include "synth/fm_tables.h"

namespace synth::fm {

namespace {

constexpr int kInstantAttackRate = 62;
constexpr int kSsgSpeedUp = 4;  // SSG-type envelopes run their decays four times as fast

bool ssgEnabled(const EnvelopeSettings& s) { return s.ssgShape & 8; }
bool ssgHold(const EnvelopeSettings& s) { return s.ssgShape & 1; }
bool ssgAlternate(const EnvelopeSettings& s) { return s.ssgShape & 2; }
bool ssgStartsInverted(const EnvelopeSettings& s) { return s.ssgShape & 4; }

// The 4-bit release rate stands for the 5-bit rate 2RR + 1.
int releaseAsRate(int releaseRate) { return releaseRate * 2 + 1; }

}  // namespace

int effectiveRate(int rate, int keyScale, int keyCode) {
    if (rate == 0) return 0;
    return std::min(63, rate * 2 + (keyCode >> (3 - keyScale)));
}

int sustainAttenuation(int sustainLevel) {
    return (sustainLevel == 15 ? 31 : sustainLevel) << 5;
}

void Envelope::reset() { *this = Envelope(); }

void Envelope::keyOn(const EnvelopeSettings& settings, int keyCode) {
    if (keyedOn_) return;
    keyedOn_ = true;
    inverted_ = ssgEnabled(settings) && ssgStartsInverted(settings);
    ssgHeld_ = false;
    startAttack(settings, keyCode);
}

void Envelope::keyOff() {
    if (!keyedOn_) return;
    keyedOn_ = false;
    // The release continues from the level heard, inverted or not.
    level_ = attenuation();
    inverted_ = false;
    phase_ = EnvelopePhase::Release;
}

void Envelope::startAttack(const EnvelopeSettings& settings, int keyCode) {
    phase_ = EnvelopePhase::Attack;
    if (effectiveRate(settings.attackRate, settings.keyScale, keyCode) >= kInstantAttackRate) {
        level_ = 0;
        phase_ = EnvelopePhase::Decay;
    }
}

void Envelope::step(const EnvelopeSettings& settings, int keyCode, uint32_t counter) {
    if (phase_ == EnvelopePhase::Release && level_ >= kEnvelopeMax) return;  // finished: silent
    const bool ssg = ssgEnabled(settings) && phase_ != EnvelopePhase::Release;
    if (ssg && level_ >= kSsgEnd && phase_ != EnvelopePhase::Attack) endSsgCycle(settings, keyCode);
    if (phase_ == EnvelopePhase::Decay && level_ >= sustainAttenuation(settings.sustainLevel)) {
        phase_ = EnvelopePhase::Sustain;
    }
    switch (phase_) {
        case EnvelopePhase::Attack:
            stepAttack(effectiveRate(settings.attackRate, settings.keyScale, keyCode), counter);
            break;
        case EnvelopePhase::Decay:
            stepDecaying(effectiveRate(settings.decayRate, settings.keyScale, keyCode), counter, ssg);
            break;
        case EnvelopePhase::Sustain:
            stepDecaying(effectiveRate(settings.sustainRate, settings.keyScale, keyCode), counter, ssg);
            break;
        case EnvelopePhase::Release:
            stepDecaying(effectiveRate(releaseAsRate(settings.releaseRate), settings.keyScale, keyCode),
                         counter, false);
            break;
    }
}

// The attack approaches full level exponentially: each increment takes off a sixteenth of the
// remaining attenuation (rounded up, so it reaches 0).
void Envelope::stepAttack(int rate, uint32_t counter) {
    const int increment = envelopeIncrement(rate, counter);
    if (increment == 0) return;
    level_ += (~level_ * increment) >> 4;
    if (level_ <= 0) {
        level_ = 0;
        phase_ = EnvelopePhase::Decay;
    }
}

void Envelope::stepDecaying(int rate, uint32_t counter, bool ssg) {
    const int increment = envelopeIncrement(rate, counter);
    if (ssg) {
        if (level_ < kSsgEnd) level_ = std::min(kSsgEnd, level_ + increment * kSsgSpeedUp);
        return;
    }
    level_ = std::min(kEnvelopeMax, level_ + increment);
}

// An SSG-type envelope that reached its end holds, turns round, or starts over.
void Envelope::endSsgCycle(const EnvelopeSettings& settings, int keyCode) {
    if (ssgHeld_) return;
    if (ssgHold(settings)) {
        if (ssgAlternate(settings)) inverted_ = !inverted_;
        // Held loud when inverted (attenuation shown as 0), held silent otherwise.
        level_ = inverted_ ? kSsgEnd : kEnvelopeMax;
        ssgHeld_ = true;
        return;
    }
    if (ssgAlternate(settings)) inverted_ = !inverted_;
    startAttack(settings, keyCode);
}

}  // namespace synth::fm
