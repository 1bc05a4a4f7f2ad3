#pragma once
// One FM channel: four operators joined by one of eight algorithms, feedback on operator 1, the
// stereo outputs and the LFO depths (B0-B6).
#include <array>
#include <cstdint>

#include "synth/fm_lfo.h"
#include "synth/fm_operator.h"

namespace synth::fm {

class Channel {
public:
    static constexpr int kOperators = 4;

    void reset();
    // Operators are numbered 0-3 for operators 1-4 (not in register order).
    Operator& op(int index) { return ops_[index]; }
    const Operator& op(int index) const { return ops_[index]; }

    void setFeedbackAlgorithm(uint8_t value);  // B0-B2
    void setOutputs(uint8_t value);            // B4-B6: L, R, AMS, PMS
    void setOperatorPitch(int index, Pitch pitch) { ops_[index].setPitch(pitch); }
    // Key on the operators whose bits (0-3 for operators 1-4) are set, key off the others.
    void setKeys(int operatorBits);
    void stepEnvelopes(uint32_t counter);

    // The channel's output for one sample, the carriers' sum held to +-8191.
    int sample(const Lfo& lfo);
    bool left() const { return left_; }
    bool right() const { return right_; }

private:
    int connect(int tremolo);
    void retune(int vibrato);

    std::array<Operator, kOperators> ops_{};
    int algorithm_ = 0;
    int feedback_ = 0;
    int feedbackHistory_[2] = {0, 0};  // operator 1's last two outputs
    bool left_ = true;
    bool right_ = true;
    int amsDepth_ = 0;
    int pmsDepth_ = 0;
    int lastVibrato_ = 0;  // the LFO vibrato the operators are tuned for
};

}  // namespace synth::fm
