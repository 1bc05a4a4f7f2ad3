// velkor-render's readers and the software chip on arbitrary input. Byte 0 chooses what the rest is:
//
//   even: a file for the readers. A file they accept must walk the same way twice, give as many
//         writes as its check counted, in time order and never past its end, and the first moments
//         of its render must be finite samples inside [-1, 1].
//   odd:  a register stream for ChipRenderer: records of (bank and wait, register, value), where
//         bit 0 of the first byte is the bank and bits 1-7 the frames rendered before the write
//         (times 8); byte 1 picks the output rate (bit 0) and the clock (bits 1-2). Every sample the
//         chip itself makes must be finite, and every sample of the renderer finite and inside
//         [-1, 1].
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "synth/chip_renderer.h"
#include "synth/ym2608.h"
#include "tools/render/capture_reader.h"
#include "tools/render/render_job.h"

namespace {

// The longest render an input gets (the chip and the resampler are slow under the sanitizers).
constexpr uint64_t kMaxFileFrames = 1024;
constexpr uint64_t kMaxStreamFrames = 2048;
constexpr uint32_t kClocks[] = {7987200, 3993600 * 2, 8000000, 1000000};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "render_fuzz: %s\n", what);
    std::abort();
}

void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

void checkOutput(const float* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        check(std::isfinite(samples[i]), "a renderer sample is not finite");
        check(samples[i] >= -1.0f && samples[i] <= 1.0f, "a renderer sample is outside [-1, 1]");
    }
}

void fuzzFile(const uint8_t* data, size_t size) {
    std::string error;
    const std::optional<render::Capture> capture =
        render::Capture::parse(std::vector<uint8_t>(data, data + size), "input", error);
    if (!capture) {
        check(!error.empty() && error.find('\n') == std::string::npos, "a refusal without a one-line reason");
        return;
    }
    const render::CaptureInfo& info = capture->info();
    const std::vector<render::RegisterEvent> first = capture->writes();
    check(first == capture->writes(), "two walks over one file differ");
    check(first.size() == info.writes, "the walk and the check count different writes");
    for (size_t i = 0; i < first.size(); ++i) {
        check(first[i].bank <= 1, "a write to a bank beyond A1");
        check(first[i].tick <= info.ticks, "a write after the end");
        check(i == 0 || first[i - 1].tick <= first[i].tick, "writes out of time order");
        check(info.chip == render::ChipType::ym2608 || first[i].bank == 0, "a YM2203 write to bank A1");
    }
    check(info.tickNumerator > 0 && info.tickDenominator > 0, "a tick without a length");
    uint64_t rendered = 0;
    const bool completed =
        render::renderCapture(*capture, render::kDefaultRate, [&](const float* frames, size_t count) {
            checkOutput(frames, 2 * count);
            rendered += count;
            return rendered < kMaxFileFrames;
        });
    const uint64_t total = render::totalFrames(info, render::kDefaultRate);
    if (total < kMaxFileFrames) {
        check(completed && rendered == total, "the render did not reach the capture's end");
    } else {
        check(rendered >= kMaxFileFrames && rendered <= total, "the render did not stop where it was asked to");
    }
}

void fuzzStream(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const uint32_t rate = data[1] & 1 ? 48000 : 44100;
    const uint32_t clock = kClocks[(data[1] >> 1) & 3];
    synth::ChipRenderer renderer(clock, rate);
    synth::Ym2608 chip(clock);
    std::vector<float> out;
    uint64_t frames = 0;
    auto renderFrames = [&](size_t count) {
        count = static_cast<size_t>(std::min<uint64_t>(count, kMaxStreamFrames - frames));
        if (count == 0) return;
        out.resize(2 * count);
        renderer.render(count, out.data());
        checkOutput(out.data(), out.size());
        chip.generate(count, out.data());
        for (float sample : out) check(std::isfinite(sample), "a chip sample is not finite");
        frames += count;
    };
    for (size_t at = 2; at + 2 < size; at += 3) {
        renderFrames(static_cast<size_t>(data[at] >> 1) * 8);
        const int bank = data[at] & 1;
        renderer.write(bank, data[at + 1], data[at + 2]);
        chip.write(bank, data[at + 1], data[at + 2]);
    }
    renderFrames(256);
    check(renderer.framesRendered() == frames, "the renderer rendered other than the frames asked for");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        fuzzStream(data, size);
    } else {
        fuzzFile(data + 1, size - 1);
    }
    return 0;
}
