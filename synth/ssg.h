#pragma once
// The YM2608's SSG (registers 00-0F of bank A0): three square-wave tone channels, the noise
// generator, the mixer, logarithmic levels and the envelope generator with all its shapes.
#include <cstdint>

#include "synth/stereo.h"

namespace synth {

class Ssg {
public:
    void reset();
    void write(uint8_t reg, uint8_t value);
    // The register as the chip reads it back (ports 00-0F answer the SSG registers).
    uint8_t read(uint8_t reg) const;
    // The next sample at the FM rate (clock / 144), the SSG stepped in between as the chip does;
    // the SSG has one output, centred in both channels.
    StereoSample next();
};

}  // namespace synth
