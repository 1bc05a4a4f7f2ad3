#include "synth/fm_channel.h"

#include <algorithm>

#include "synth/fm_tables.h"

namespace synth::fm {

namespace {

// An operator's output feeds the next one's phase at half its size: full scale is 4 cycles.
int modulation(int output) { return output >> 1; }

// Operator 1's feedback: the mean of its last two outputs at 2^(FB - 1) / 64 of a cycle per full
// scale, so FB 1-7 give pi/16 ... 4 pi.
int feedbackModulation(const int history[2], int feedback) {
    if (feedback == 0) return 0;
    return (history[0] + history[1]) >> (10 - feedback);
}

}  // namespace

void Channel::reset() { *this = Channel(); }

void Channel::setFeedbackAlgorithm(uint8_t value) {
    feedback_ = (value >> 3) & 7;
    algorithm_ = value & 7;
}

void Channel::setOutputs(uint8_t value) {
    left_ = value & 0x80;
    right_ = value & 0x40;
    amsDepth_ = (value >> 4) & 3;
    const int pmsDepth = value & 7;
    if (pmsDepth != pmsDepth_) {
        pmsDepth_ = pmsDepth;
        retune(lastVibrato_);
    }
}

void Channel::retune(int vibrato) {
    lastVibrato_ = vibrato;
    const int32_t factor = vibratoFactor(pmsDepth_, vibrato);
    for (Operator& op : ops_) op.setVibrato(factor);
}

void Channel::setKeys(int operatorBits) {
    for (int i = 0; i < kOperators; ++i) {
        if (operatorBits & (1 << i)) {
            ops_[i].keyOn();
        } else {
            ops_[i].keyOff();
        }
    }
}

void Channel::stepEnvelopes(uint32_t counter) {
    for (Operator& op : ops_) op.stepEnvelope(counter);
}

int Channel::sample(const Lfo& lfo) {
    // The vibrato moves in steps; the operators retune only when it does.
    if (lfo.vibrato() != lastVibrato_) retune(lfo.vibrato());
    const int sum = connect(tremoloForDepth(lfo.tremolo(), amsDepth_));
    return std::clamp(sum, -kOperatorFullScale, kOperatorFullScale);
}

// The eight algorithms; o1-o4 are operators 1-4, and the sum of the carriers is returned.
int Channel::connect(int tremolo) {
    const int o1 = ops_[0].output(feedbackModulation(feedbackHistory_, feedback_), tremolo);
    feedbackHistory_[1] = feedbackHistory_[0];
    feedbackHistory_[0] = o1;
    Operator& op2 = ops_[1];
    Operator& op3 = ops_[2];
    Operator& op4 = ops_[3];
    switch (algorithm_) {
        case 0: {  // 1 -> 2 -> 3 -> 4
            const int o2 = op2.output(modulation(o1), tremolo);
            const int o3 = op3.output(modulation(o2), tremolo);
            return op4.output(modulation(o3), tremolo);
        }
        case 1: {  // (1 + 2) -> 3 -> 4
            const int o2 = op2.output(0, tremolo);
            const int o3 = op3.output(modulation(o1 + o2), tremolo);
            return op4.output(modulation(o3), tremolo);
        }
        case 2: {  // (1 + (2 -> 3)) -> 4
            const int o2 = op2.output(0, tremolo);
            const int o3 = op3.output(modulation(o2), tremolo);
            return op4.output(modulation(o1 + o3), tremolo);
        }
        case 3: {  // ((1 -> 2) + 3) -> 4
            const int o2 = op2.output(modulation(o1), tremolo);
            const int o3 = op3.output(0, tremolo);
            return op4.output(modulation(o2 + o3), tremolo);
        }
        case 4: {  // (1 -> 2) + (3 -> 4)
            const int o2 = op2.output(modulation(o1), tremolo);
            const int o3 = op3.output(0, tremolo);
            return o2 + op4.output(modulation(o3), tremolo);
        }
        case 5: {  // 1 -> each of 2, 3, 4
            const int m = modulation(o1);
            return op2.output(m, tremolo) + op3.output(m, tremolo) + op4.output(m, tremolo);
        }
        case 6:  // (1 -> 2) + 3 + 4
            return op2.output(modulation(o1), tremolo) + op3.output(0, tremolo) + op4.output(0, tremolo);
        default:  // 1 + 2 + 3 + 4
            return o1 + op2.output(0, tremolo) + op3.output(0, tremolo) + op4.output(0, tremolo);
    }
}

}  // namespace synth::fm
