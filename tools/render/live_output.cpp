#include "tools/render/live_output.h"

#include <cstdio>

namespace render {

// This build has no audio output layer: say so in one line and fail.
int playLive(const Capture&, uint32_t) {
    std::fputs("velkor-render: live output (--play) is not built into this build; render to a file instead: "
               "velkor-render IN OUT.wav\n",
               stderr);
    return 1;
}

}  // namespace render
