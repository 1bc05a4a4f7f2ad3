#pragma once
// Playing a capture through the sound card (velkor-render IN --play): the one place where live
// audio output plugs in.
#include <cstdint>

#include "tools/render/capture_reader.h"

namespace render {

// Plays the capture at `rate`; answers the program's exit status.
int playLive(const Capture& capture, uint32_t rate);

}  // namespace render
