#pragma once
// The YM2608's SSG (registers 00-0F of bank A0): three square-wave tone channels, the noise
// generator, the mixer, logarithmic levels and the envelope generator with all its shapes.
//
// Timing, from the YM2608 application manual: tone frequency = master / (64 * TP), noise
// frequency = master / (64 * NP), one envelope ramp (32 steps) = 1024 * EP / master. All three
// divide down from one internal tick of master / 32 (249.6 kHz at 7987200 Hz): a tone output
// flips every TP ticks, the noise shift register shifts every 2 * NP ticks and the envelope takes a
// step every EP ticks. A chip sample (master / 144) spans 4.5 ticks; next() averages the output
// over exactly that span, so edges land between samples with their true timing.
#include <cstdint>

#include "synth/stereo.h"

namespace synth {

class Ssg {
public:
    static constexpr uint32_t kMasterClock = 7987200;
    // The chip's outputs are unipolar; the board's coupling capacitor takes the DC away. next()
    // applies it as one pole at about 5 Hz: y[n] = x[n] - x[n-1] + kDcBlockPole * y[n-1].
    static constexpr float kDcBlockPole = 0.99943f;

    Ssg() { reset(); }

    void reset();
    void write(uint8_t reg, uint8_t value);
    // The register as the chip reads it back (ports 00-0F answer the SSG registers).
    uint8_t read(uint8_t reg) const;
    // The next sample at the FM rate (clock / 144), the SSG stepped in between as the chip does;
    // the SSG has one output, centred in both channels.
    StereoSample next();

private:
    void tick();
    uint32_t ticksToEvent() const;
    void skipTicks(uint32_t ticks);
    void restartEnvelope();
    void stepEnvelope();
    void updateOutput();

    uint8_t regs_[16] = {};

    // Tone channels: counters count ticks up to the period, then flip the output.
    uint32_t tonePeriod_[3] = {1, 1, 1};
    uint32_t toneCount_[3] = {};
    uint8_t toneBit_[3] = {};

    // Noise: a 17-bit shift register stepped every 2 * NP ticks.
    uint32_t noisePeriod_ = 2;
    uint32_t noiseCount_ = 0;
    uint32_t lfsr_ = 1;
    bool noiseHeard_ = true;  // some channel has its noise enabled

    // Envelope: 32 steps per ramp, one step every EP ticks.
    uint32_t envPeriod_ = 1;
    uint32_t envCount_ = 0;
    int envStep_ = 0;        // 0..31 within the current ramp
    bool envAttack_ = false;  // the current ramp rises
    bool envHolding_ = false;
    int envHeld_ = 0;        // the level held once a non-repeating shape ends
    int envLevel_ = 0;       // 0..31, the generator's output

    float out_ = 0;          // the summed output of the three channels, before the DC block
    int halfTicksToTick_ = 2;  // half-ticks until the next tick

    // The board's coupling capacitor: the chip's outputs are unipolar, the sound is not.
    float dcIn_ = 0;
    float dcOut_ = 0;
};

}  // namespace synth
