// Live output through PortAudio's blocking stream interface.
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include "platform/audio_output.h"

namespace platform {

namespace {

// About 50 ms queued in the device: short enough to follow the music, long enough that a busy
// moment of the renderer does not drop out.
constexpr double kLatencySeconds = 0.05;

// The sound libraries under PortAudio (ALSA, JACK) report every device they probe and miss on
// standard error; the program says in one line of its own what it could not open.
class QuietStandardError {
public:
    QuietStandardError() : saved_(dup(STDERR_FILENO)) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDERR_FILENO);
            close(null);
        }
    }
    ~QuietStandardError() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_;
};

class PortAudioOutput : public AudioOutput {
public:
    explicit PortAudioOutput(PaStream* stream) : stream_(stream) {}
    ~PortAudioOutput() override { finish(); }

    bool write(const float* frames, size_t count) override {
        if (!stream_) return false;
        const PaError error = Pa_WriteStream(stream_, frames, static_cast<unsigned long>(count));
        // An underflow is a gap heard, not a broken device.
        return error == paNoError || error == paOutputUnderflowed;
    }

    void finish() override {
        if (!stream_) return;
        Pa_StopStream(stream_);  // waits until what is queued has played
        Pa_CloseStream(stream_);
        const QuietStandardError quiet;
        Pa_Terminate();
        stream_ = nullptr;
    }

private:
    PaStream* stream_;
};

}  // namespace

std::unique_ptr<AudioOutput> openAudioOutput(uint32_t rate, std::string& reason) {
    const QuietStandardError quiet;
    if (const PaError error = Pa_Initialize(); error != paNoError) {
        reason = Pa_GetErrorText(error);
        return nullptr;
    }
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    if (device == paNoDevice) {
        Pa_Terminate();
        reason = "no sound output device";
        return nullptr;
    }
    PaStreamParameters output{};
    output.device = device;
    output.channelCount = 2;
    output.sampleFormat = paFloat32;
    output.suggestedLatency = kLatencySeconds;
    PaStream* stream = nullptr;
    PaError error = Pa_OpenStream(&stream, nullptr, &output, rate, paFramesPerBufferUnspecified, paNoFlag, nullptr,
                                  nullptr);
    if (error == paNoError) error = Pa_StartStream(stream);
    if (error != paNoError) {
        if (stream) Pa_CloseStream(stream);
        Pa_Terminate();
        reason = Pa_GetErrorText(error);
        return nullptr;
    }
    return std::make_unique<PortAudioOutput>(stream);
}

}  // namespace platform
