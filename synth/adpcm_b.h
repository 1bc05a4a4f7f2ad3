#pragma once
// The YM2608's ADPCM-B (registers 00-10 of bank A1): the 256 KiB sample memory written through
// the data port 08, playback from start to stop address at the delta-N rate, level, stereo bits,
// repeat, decoded with the chip's adaptive step.
#include <cstdint>

#include "synth/stereo.h"

namespace synth {

class AdpcmB {
public:
    void reset();
    void write(uint8_t reg, uint8_t value);
    StereoSample next();
};

}  // namespace synth
