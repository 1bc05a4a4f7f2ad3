#pragma once
// The YM2608's FM part: six channels of four operators (channels 1-3 in bank A0, 4-6 in bank A1,
// 4-6 only while register 29 bit 7 is set), the LFO (22), key on/off (28), channel 3's special
// mode (27 bits 6-7, frequencies A8-AE), stereo bits (B4-B6). One call, one FM sample.
#include <cstdint>

#include "synth/stereo.h"

namespace synth {

class FmEngine {
public:
    void reset();
    void write(int bank, uint8_t reg, uint8_t value);
    // The next sample at the FM rate (clock / 144).
    StereoSample next();
};

}  // namespace synth
