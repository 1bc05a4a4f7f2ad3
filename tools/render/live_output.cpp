#include "tools/render/live_output.h"

#include <cstdio>
#include <string>

#include "platform/audio_output.h"
#include "tools/render/render_job.h"

namespace render {

// Renders block after block into the sound card, whose blocking write keeps the pace of the music.
int playLive(const Capture& capture, uint32_t rate) {
    std::string reason;
    const auto output = platform::openAudioOutput(rate, reason);
    if (!output) {
        std::fprintf(stderr, "velkor-render: cannot play: %s\n", reason.c_str());
        return 1;
    }
    const bool played = renderCapture(capture, rate, [&](const float* frames, size_t count) {
        return output->write(frames, count);
    });
    output->finish();
    if (!played) {
        std::fputs("velkor-render: the sound device stopped taking sound\n", stderr);
        return 1;
    }
    return 0;
}

}  // namespace render
