#include "synth/chip_renderer.h"

#include <algorithm>

namespace synth {

namespace {
constexpr uint32_t kChipRateDivider = 144;  // the chip renders one frame per 144 master clocks
}

ChipRenderer::ChipRenderer(uint32_t clock, uint32_t outputRate)
    : chip_(clock), resampler_(clock, kChipRateDivider, outputRate) {}

void ChipRenderer::render(size_t frames, float* out) {
    while (frames > 0) {
        const size_t block = std::min(frames, Resampler::kMaxBlock);
        const size_t input = resampler_.inputNeeded(block);
        if (chipBuffer_.size() < 2 * input) chipBuffer_.resize(2 * input);
        chip_.generate(input, chipBuffer_.data());
        resampler_.process(chipBuffer_.data(), input, out, block);
        // A comparison-based limit: a NaN from the chip stays a NaN, so checks downstream see it.
        for (size_t i = 0; i < 2 * block; ++i) out[i] = std::min(std::max(out[i], -1.0f), 1.0f);
        chipFrames_ += input;
        framesRendered_ += block;
        out += 2 * block;
        frames -= block;
    }
}

}  // namespace synth
