#pragma once
// The YM2608's rhythm part (registers 10-1D of bank A0): bass drum, snare, top cymbal, hi-hat,
// tom and rim shot. The real sounds come from a ROM inside the chip that velkor cannot ship, so
// these are synthesized substitutes driven by the same registers (key on/dump 10, total level 11,
// instrument level and pan 18-1D).
#include <cstdint>

#include "synth/stereo.h"

namespace synth {

class Rhythm {
public:
    void reset();
    void write(uint8_t reg, uint8_t value);
    StereoSample next();
};

}  // namespace synth
