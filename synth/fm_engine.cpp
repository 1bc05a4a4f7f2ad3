#include "synth/fm_engine.h"

#include "synth/fm_tables.h"

namespace synth {

namespace {

constexpr uint8_t kLfoRegister = 0x22;
constexpr uint8_t kModeRegister = 0x27;
constexpr uint8_t kKeyRegister = 0x28;
constexpr uint8_t kUpperChannelsRegister = 0x29;
constexpr uint8_t kFirstOperatorRegister = 0x30;
constexpr uint8_t kFirstChannelRegister = 0xA0;

constexpr int kSamplesPerEnvelopeStep = 3;
constexpr float kOutputScale = 1.0f / fm::kOperatorFullScale;

// Registers 30-9F address operators in the order 1, 3, 2, 4.
constexpr int kOperatorOfSlot[4] = {0, 2, 1, 3};
// Special mode's low registers A8, A9, AA set operators 3, 1, 2.
constexpr int kSpecialOperatorOfRegister[3] = {2, 0, 1};

fm::Pitch pitchOf(uint8_t latch, uint8_t low) { return {((latch & 7) << 8) | low, (latch >> 3) & 7}; }

}  // namespace

void FmEngine::reset() {
    for (fm::Channel& channel : channels_) channel.reset();
    pitches_ = {};
    specialPitches_ = {};
    lfo_.reset();
    frequencyLatch_ = 0;
    specialFrequencyLatch_ = 0;
    specialMode_ = false;
    upperChannelsOn_ = false;
    envelopeDivider_ = 0;
    envelopeCounter_ = 0;
}

void FmEngine::write(int bank, uint8_t reg, uint8_t value) {
    if (bank != 0 && bank != 1) return;
    if (reg < kFirstOperatorRegister) {
        if (bank == 0) writeGlobal(reg, value);
        return;
    }
    const int channelInBank = reg & 3;
    if (reg < kFirstChannelRegister) {
        if (channelInBank == 3) return;
        writeOperator(bank * 3 + channelInBank, kOperatorOfSlot[(reg >> 2) & 3], reg & 0xF0, value);
        return;
    }
    writeChannel(bank, reg, value);
}

void FmEngine::writeGlobal(uint8_t reg, uint8_t value) {
    switch (reg) {
        case kLfoRegister:
            lfo_.write(value);
            break;
        case kModeRegister: {
            // 01 is the special mode; 10 (CSM) keeps the special frequencies, the timer's key-ons
            // being the host's to make.
            const bool special = (value & 0xC0) != 0;
            if (special != specialMode_) {
                specialMode_ = special;
                updatePitches(kSpecialChannel);
            }
            break;
        }
        case kKeyRegister:
            keyOnOff(value);
            break;
        case kUpperChannelsRegister:
            upperChannelsOn_ = value & 0x80;
            break;
        default:
            break;  // the timers make no sound
    }
}

void FmEngine::writeOperator(int channel, int op, uint8_t reg, uint8_t value) {
    fm::Operator& target = channels_[channel].op(op);
    switch (reg) {
        case 0x30: target.setDetuneMultiple(value); break;
        case 0x40: target.setTotalLevel(value); break;
        case 0x50: target.setKeyScaleAttack(value); break;
        case 0x60: target.setAmDecay(value); break;
        case 0x70: target.setSustainRate(value); break;
        case 0x80: target.setSustainRelease(value); break;
        case 0x90: target.setSsgShape(value); break;
        default: break;
    }
}

void FmEngine::writeChannel(int bank, uint8_t reg, uint8_t value) {
    const int channelInBank = reg & 3;
    if (channelInBank == 3) return;
    const int channel = bank * 3 + channelInBank;
    switch (reg & 0xFC) {
        case 0xA0:
            pitches_[channel] = pitchOf(frequencyLatch_, value);
            updatePitches(channel);
            break;
        case 0xA4:
            frequencyLatch_ = value;
            break;
        case 0xA8:
            if (bank != 0) break;
            specialPitches_[kSpecialOperatorOfRegister[channelInBank]] = pitchOf(specialFrequencyLatch_, value);
            updatePitches(kSpecialChannel);
            break;
        case 0xAC:
            if (bank == 0) specialFrequencyLatch_ = value;
            break;
        case 0xB0:
            channels_[channel].setFeedbackAlgorithm(value);
            break;
        case 0xB4:
            channels_[channel].setOutputs(value);
            break;
        default:
            break;
    }
}

// Register 28: bits 0-2 the channel (0-2 for channels 1-3, 4-6 for 4-6), bits 4-7 operators 1-4.
void FmEngine::keyOnOff(uint8_t value) {
    const int code = value & 7;
    if ((code & 3) == 3) return;
    const int channel = (code & 4) ? 3 + (code & 3) : code;
    channels_[channel].setKeys(value >> 4);
}

void FmEngine::updatePitches(int channel) {
    const bool separate = channel == kSpecialChannel && specialMode_;
    for (int op = 0; op < fm::Channel::kOperators; ++op) {
        const fm::Pitch pitch = (separate && op < 3) ? specialPitches_[op] : pitches_[channel];
        channels_[channel].setOperatorPitch(op, pitch);
    }
}

StereoSample FmEngine::next() {
    lfo_.step();
    if (++envelopeDivider_ == kSamplesPerEnvelopeStep) {
        envelopeDivider_ = 0;
        ++envelopeCounter_;
        for (fm::Channel& channel : channels_) channel.stepEnvelopes(envelopeCounter_);
    }
    int left = 0;
    int right = 0;
    for (int i = 0; i < kChannels; ++i) {
        fm::Channel& channel = channels_[i];
        const int out = channel.sample(lfo_);
        if (i >= 3 && !upperChannelsOn_) continue;
        if (channel.left()) left += out;
        if (channel.right()) right += out;
    }
    return {left * kOutputScale, right * kOutputScale};
}

}  // namespace synth
