#pragma once
// The YM2608's rhythm part (registers 10-1D of bank A0): bass drum, snare, top cymbal, hi-hat,
// tom and rim shot. The real sounds come from a ROM inside the chip that velkor cannot ship, so
// these are synthesized substitutes driven by the same registers (key on/dump 10, total level 11,
// instrument level and pan 18-1D).
//
// Registers, from the YM2608 application manual:
//   10: bit 7 dump (clear: the set bits key their instruments on; set: the set bits stop them),
//       bits 0-5 bass drum, snare, top cymbal, hi-hat, tom, rim shot.
//   11: total level, 6 bits, each step below 63 attenuates 0.75 dB.
//   18-1D: one per instrument in the same order: bit 7 L, bit 6 R, bits 0-4 level (each step
//       below 31 attenuates 0.75 dB).
//
// Each substitute is a swept sine and filtered noise under exponential decays; a voice costs
// nothing once it has faded out.
#include <cstdint>

#include "synth/stereo.h"

namespace synth {

class Rhythm {
public:
    static constexpr uint32_t kMasterClock = 7987200;
    static constexpr int kInstruments = 6;

    explicit Rhythm(uint32_t clock = kMasterClock);

    void reset();
    void write(uint8_t reg, uint8_t value);
    StereoSample next();

    // Whether an instrument is still sounding (keyed and not yet faded out).
    bool sounding(int instrument) const;

private:
    struct Voice {
        bool active = false;
        float phase = 0;        // of the tone, in cycles
        float frequency = 0;    // cycles a sample the tone settles to
        float sweep = 0;        // the part of the frequency still to sweep away
        float toneLevel = 0;
        float noiseLevel = 0;
        float highPassIn = 0;   // the noise filters' states
        float highPassOut = 0;
        float lowPassOut = 0;
        float release = 1;      // 1 while keyed; falls fast once dumped
        bool dumped = false;
    };

    // What makes each instrument itself, at the chip's rate.
    struct Character {
        float startHz, endHz;  // the tone's sweep
        float sweepDecay;      // per sample, of the sweep
        float toneLevel;       // initial levels of tone and noise
        float noiseLevel;
        float toneDecay;       // per-sample decay factors
        float noiseDecay;
        float highPass;        // one-pole coefficients of the noise's band
        float lowPass;
    };

    void keyOn(int instrument);
    void updateGain(int instrument);
    float noise();

    float rate_;
    Character character_[kInstruments];
    float releaseDecay_ = 0;
    Voice voices_[kInstruments];
    uint8_t regs_[0x20] = {};
    float gainLeft_[kInstruments] = {};
    float gainRight_[kInstruments] = {};
    uint32_t noiseState_ = 1;
};

}  // namespace synth
