#include "tools/render/render_job.h"

#include <algorithm>
#include <vector>

#include "synth/chip_renderer.h"

namespace render {

namespace {
constexpr size_t kBlockFrames = 4096;
constexpr uint8_t kOpnStereoRegisters[] = {0xB4, 0xB5, 0xB6};
constexpr uint8_t kBothOutputs = 0xC0;

// round(a * b / c), halves up, for a * b below 2^126 and c below 2^63, with the result saturated to
// 64 bits. The 128-bit product is formed from 32-bit halves, so that compilers without a 128-bit
// type (32-bit targets) build it too.
uint64_t mulDivRound(uint64_t a, uint64_t b, uint64_t c) {
    const uint64_t aLow = a & 0xFFFFFFFF, aHigh = a >> 32, bLow = b & 0xFFFFFFFF, bHigh = b >> 32;
    const uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh, highLow = aHigh * bLow, highHigh = aHigh * bHigh;
    const uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFF) + (highLow & 0xFFFFFFFF);
    uint64_t high = highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
    uint64_t low = (middle << 32) | (lowLow & 0xFFFFFFFF);
    // Twice the product plus c, then long division by 2c, one bit at a time.
    high = (high << 1) | (low >> 63);
    low <<= 1;
    const uint64_t before = low;
    low += c;
    if (low < before) ++high;
    const uint64_t divisor = 2 * c;
    uint64_t quotient = 0, remainder = 0;
    for (int bit = 127; bit >= 0; --bit) {
        const bool carry = remainder >> 63;
        remainder = (remainder << 1) | ((bit >= 64 ? high >> (bit - 64) : low >> bit) & 1);
        const bool take = carry || remainder >= divisor;
        if (take) remainder -= divisor;
        if (bit >= 64 && take) return UINT64_MAX;
        if (take) quotient |= uint64_t{1} << bit;
    }
    return quotient;
}
}  // namespace

uint64_t frameOfTick(const CaptureInfo& info, uint64_t tick, uint32_t rate) {
    return mulDivRound(tick, info.tickNumerator * rate, info.tickDenominator);
}

ChipSetup chipSetup(const CaptureInfo& info) {
    if (info.chip == ChipType::ym2203) return {info.clock * 2, true};
    return {info.clock, false};
}

bool reachesChip(const ChipSetup& setup, const RegisterEvent& event) {
    if (!setup.opn) return true;
    if (event.bank != 0) return false;
    const uint8_t reg = event.reg;
    return !((reg >= 0x10 && reg <= 0x1F) || reg == 0x22 || reg == 0x29 || (reg >= 0xB4 && reg <= 0xB6));
}

bool renderCapture(const Capture& capture, uint32_t rate, const FrameSink& sink, const Progress& progress) {
    const CaptureInfo& info = capture.info();
    const ChipSetup setup = chipSetup(info);
    synth::ChipRenderer chip(setup.clock, rate);
    if (setup.opn) {
        for (uint8_t reg : kOpnStereoRegisters) chip.write(0, reg, kBothOutputs);
    }
    const uint64_t total = totalFrames(info, rate);
    std::vector<float> block(2 * kBlockFrames);
    uint64_t done = 0;
    auto renderTo = [&](uint64_t frame) {
        while (done < frame) {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(kBlockFrames, frame - done));
            chip.render(count, block.data());
            if (!sink(block.data(), count)) return false;
            done += count;
            if (progress) progress(done, total);
        }
        return true;
    };
    const bool walked = capture.forEachWrite([&](const RegisterEvent& event) {
        if (!renderTo(frameOfTick(info, event.tick, rate))) return false;
        if (reachesChip(setup, event)) chip.write(event.bank, event.reg, event.value);
        return true;
    });
    return walked && renderTo(total);
}

}  // namespace render
