#pragma once
// The YM2608's FM part: six channels of four operators (channels 1-3 in bank A0, 4-6 in bank A1,
// 4-6 only while register 29 bit 7 is set), the LFO (22), key on/off (28), channel 3's special
// mode (27 bits 6-7, frequencies A8-AE), stereo bits (B4-B6). One call, one FM sample.
#include <array>
#include <cstdint>

#include "synth/fm_channel.h"
#include "synth/fm_lfo.h"
#include "synth/fm_phase.h"
#include "synth/stereo.h"

namespace synth {

class FmEngine {
public:
    FmEngine() { reset(); }

    void reset();
    void write(int bank, uint8_t reg, uint8_t value);
    // The next sample at the FM rate (clock / 144).
    StereoSample next();

private:
    static constexpr int kChannels = 6;
    static constexpr int kSpecialChannel = 2;  // channel 3

    void writeGlobal(uint8_t reg, uint8_t value);
    void writeOperator(int channel, int op, uint8_t reg, uint8_t value);
    void writeChannel(int bank, uint8_t reg, uint8_t value);
    void keyOnOff(uint8_t value);
    void updatePitches(int channel);

    std::array<fm::Channel, kChannels> channels_{};
    std::array<fm::Pitch, kChannels> pitches_{};
    // Channel 3's own frequencies for operators 1-3 in special mode (A9/AD, AA/AE, A8/AC).
    std::array<fm::Pitch, 3> specialPitches_{};
    fm::Lfo lfo_;
    uint8_t frequencyLatch_ = 0;         // A4-A6, taken by the next A0-A2
    uint8_t specialFrequencyLatch_ = 0;  // AC-AE, taken by the next A8-AA
    bool specialMode_ = false;
    bool upperChannelsOn_ = false;
    int envelopeDivider_ = 0;
    uint32_t envelopeCounter_ = 0;
};

}  // namespace synth
