#pragma once
// An operator's frequency: F-number and block to a phase increment, with detune and multiple.
#include <cstdint>

namespace synth::fm {

struct Pitch {
    int fnum = 0;   // 11 bits
    int block = 0;  // 3 bits

    // F-number shifted by the block: twice the phase increment of multiple 1 without detune.
    int blockShifted() const { return fnum << block; }
    int keyCode() const;
};

// The increment per sample of a 20-bit phase: (fnum << block) / 2 plus detune, times the
// multiple (0 standing for 1/2). blockShifted may carry the LFO's vibrato.
uint32_t phaseIncrement(int blockShifted, int detuneCode, int keyCode, int multiple);

}  // namespace synth::fm
