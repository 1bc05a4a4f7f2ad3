#pragma once
// From a checked capture to audio: the chip it needs, where each tick falls at the output rate, and
// the render loop that feeds blocks of frames to a sink (a WAV file, or later the sound card).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tools/render/capture_reader.h"

namespace render {

constexpr uint32_t kDefaultRate = 44100;

// The output frame of a tick: round(tick * numerator * rate / denominator), halves up, exact.
uint64_t frameOfTick(const CaptureInfo& info, uint64_t tick, uint32_t rate);
// All frames of the capture: its length in ticks at the output rate.
inline uint64_t totalFrames(const CaptureInfo& info, uint32_t rate) { return frameOfTick(info, info.ticks, rate); }

// The software chip for a capture. A YM2203 is played by a YM2608 at twice its clock: the OPN's FM
// rate is clock / 72, the OPNA's clock / 144, and the OPNA's SSG divides its clock twice as much as
// the OPN's, so FM and SSG keep their pitches and the OPN's registers work unchanged. Bank A1 stays
// unused, the OPNA-only registers of bank A0 (rhythm 10-1F, LFO 22, mode 29, the stereo bits B4-B6)
// are never written by an OPN capture and are kept from it, and B4-B6 are set to both outputs at the
// start, since the mono OPN has no such bits and its sound goes to both.
struct ChipSetup {
    uint32_t clock = 0;  // the YM2608's clock
    bool opn = false;
};
ChipSetup chipSetup(const CaptureInfo& info);
// Whether a write of the capture reaches the YM2608 that plays it.
bool reachesChip(const ChipSetup& setup, const RegisterEvent& event);

// Renders the whole capture at `rate`, handing each block of interleaved stereo frames to sink
// (false from sink stops the render and makes this answer false); progress(done, total) follows
// every block.
using FrameSink = std::function<bool(const float* frames, size_t count)>;
using Progress = std::function<void(uint64_t done, uint64_t total)>;
bool renderCapture(const Capture& capture, uint32_t rate, const FrameSink& sink, const Progress& progress = {});

}  // namespace render
