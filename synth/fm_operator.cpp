#include "synth/fm_operator.h"

#include <algorithm>

#include "synth/fm_tables.h"

namespace synth::fm {

namespace {
constexpr int kTotalLevelStep = 8;  // one total level step is 8 envelope units, 0.75 dB
constexpr int kVibratoFractionBits = 20;
}  // namespace

void Operator::reset() { *this = Operator(); }

void Operator::setDetuneMultiple(uint8_t value) {
    detune_ = (value >> 4) & 7;
    multiple_ = value & 15;
    updateIncrement();
}

void Operator::setTotalLevel(uint8_t value) {
    totalLevel_ = (value & 0x7F) * kTotalLevelStep;
    refreshLevel();
}

void Operator::setKeyScaleAttack(uint8_t value) {
    settings_.keyScale = value >> 6;
    settings_.attackRate = value & 31;
}

void Operator::setAmDecay(uint8_t value) {
    tremoloOn_ = value & 0x80;
    settings_.decayRate = value & 31;
}

void Operator::setSustainRate(uint8_t value) { settings_.sustainRate = value & 31; }

void Operator::setSustainRelease(uint8_t value) {
    settings_.sustainLevel = value >> 4;
    settings_.releaseRate = value & 15;
}

void Operator::setSsgShape(uint8_t value) { settings_.ssgShape = value & 15; }

void Operator::setPitch(Pitch pitch) {
    pitch_ = pitch;
    keyCode_ = pitch.keyCode();
    updateIncrement();
}

void Operator::keyOn() {
    if (!envelope_.keyedOn()) phase_ = 0;
    envelope_.keyOn(settings_, keyCode_);
    refreshLevel();
}

void Operator::keyOff() {
    envelope_.keyOff();
    refreshLevel();
}

// The vibrato scales the block-shifted F-number by (1 + vibrato / 2^20); detune and key code
// stay those of the written pitch.
void Operator::updateIncrement() {
    const int shifted = pitch_.blockShifted();
    const int offset = static_cast<int>((int64_t{shifted} * vibrato_) >> kVibratoFractionBits);
    increment_ = phaseIncrement(shifted + offset, detune_, keyCode_, multiple_);
}

void Operator::setVibrato(int32_t vibratoFactor) {
    if (vibratoFactor == vibrato_) return;
    vibrato_ = vibratoFactor;
    updateIncrement();
}

}  // namespace synth::fm
