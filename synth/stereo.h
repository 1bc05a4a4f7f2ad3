#pragma once
// One stereo sample of the chip's output, in full-scale units: 1.0 is the loudest a single FM
// channel can be (an operator at total level 0 on a carrier). The engines add into it.
namespace synth {

struct StereoSample {
    float left = 0;
    float right = 0;
    StereoSample& operator+=(const StereoSample& other) {
        left += other.left;
        right += other.right;
        return *this;
    }
};

}  // namespace synth
