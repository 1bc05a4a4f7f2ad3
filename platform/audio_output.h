#pragma once
// Live stereo output through the sound card: PortAudio on Linux and macOS where the build found
// it, nothing elsewhere (the programs then say how to get it and carry on without sound). The
// caller pushes rendered frames; write blocks while the card's buffer is full, which paces the
// caller at real time.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // count frames of interleaved stereo floats in [-1, 1]; false when the device failed.
    virtual bool write(const float* frames, size_t count) = 0;
    // Plays out what is queued, then stops the stream.
    virtual void finish() = 0;
};

// Opens the default output device at rate frames per second; nullptr, with the reason in one
// short phrase, when this build has no live output or no device can be opened.
std::unique_ptr<AudioOutput> openAudioOutput(uint32_t rate, std::string& reason);

}  // namespace platform
