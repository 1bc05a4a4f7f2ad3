#pragma once
// The LFO (register 22): one triangle shared by all channels, 128 steps a cycle, for tremolo (AM)
// and vibrato (PM). Held at its start while disabled.
#include <cstdint>

namespace synth::fm {

class Lfo {
public:
    void reset() { *this = Lfo(); }
    void write(uint8_t value);  // bit 3 enable, bits 0-2 frequency
    void step();                // one sample

    // Tremolo as an attenuation (0-126 envelope units, 11.8 dB) before the channel's AM depth.
    int tremolo() const { return tremolo_; }
    // Vibrato from -32 to +32, the peaks standing for the channel's full PM depth.
    int vibrato() const { return vibrato_; }

private:
    void updateOutputs();

    bool enabled_ = false;
    int tremolo_ = 0;
    int vibrato_ = 0;
    int samplesPerStep_ = 109;
    int sampleCount_ = 0;
    int position_ = 0;  // 0-127
};

// The AM depth of a channel's AMS (0-3): 0, 1.4, 5.9 and 11.8 dB, as a shift of the tremolo.
inline int tremoloForDepth(int tremolo, int amsDepth) {
    constexpr int kTremoloShift[4] = {7, 3, 1, 0};
    return tremolo >> kTremoloShift[amsDepth & 3];
}

// The vibrato's scaling of the pitch for a channel's PMS (0-7: 0, 3.4, 6.7, 10, 14, 20, 40 and
// 80 cents at the peaks) at a vibrato position: the frequency ratio minus 1, times 2^20.
int32_t vibratoFactor(int pmsDepth, int vibrato);

}  // namespace synth::fm
