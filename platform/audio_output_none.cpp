// Builds without PortAudio: no live output, and the reason says how to get it.
#include "platform/audio_output.h"

namespace platform {

std::unique_ptr<AudioOutput> openAudioOutput(uint32_t, std::string& reason) {
#ifdef _WIN32
    reason = "live output is not built into the Windows build; write a WAV file instead";
#else
    reason = "live output is not built in: install PortAudio (Debian portaudio19-dev, Homebrew portaudio) and build again";
#endif
    return nullptr;
}

}  // namespace platform
