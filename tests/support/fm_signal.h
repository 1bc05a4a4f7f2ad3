#pragma once
// Helpers for the FM tests: setting up voices through the registers as a driver would, rendering,
// and measuring the sound (pitch, spectrum, level over time).
#include <cstdint>
#include <vector>

#include "synth/fm_engine.h"

namespace fmtest {

constexpr double kClock = 7987200.0;
constexpr double kSampleRate = kClock / 144;

// One operator's registers, field by field.
struct OperatorVoice {
    int detune = 0;
    int multiple = 1;
    int totalLevel = 0;
    int keyScale = 0;
    int attackRate = 31;
    bool am = false;
    int decayRate = 0;
    int sustainRate = 0;
    int sustainLevel = 0;
    int releaseRate = 15;
    int ssg = 0;
};

// Channels are numbered 0-5 for channels 1-6, operators 0-3 for operators 1-4.
void setOperator(synth::FmEngine& fm, int channel, int op, const OperatorVoice& voice);
void setAlgorithm(synth::FmEngine& fm, int channel, int algorithm, int feedback = 0);
// B4-B6: outputs (bit 7 left, bit 6 right), AMS, PMS.
void setOutputs(synth::FmEngine& fm, int channel, int outputs, int ams = 0, int pms = 0);
void setPitch(synth::FmEngine& fm, int channel, int fnum, int block);
// Key on the operators in slotBits (bit 0 operator 1 ... bit 3 operator 4), off the others.
void setKeys(synth::FmEngine& fm, int channel, int slotBits);

// The documented pitch of an F-number and block: fnum * 2^(block - 1) * clock/144 / 2^20.
double documentedFrequency(int fnum, int block);
// The documented key code: block and the F-number's top bits.
int documentedKeyCode(int fnum, int block);

struct Rendered {
    std::vector<float> left;
    std::vector<float> right;
};
Rendered render(synth::FmEngine& fm, int samples);
std::vector<float> renderLeft(synth::FmEngine& fm, int samples);
// A fresh engine with channel 1 set to algorithm 7, both outputs, and only operator 4 audible.
void setUpSingleCarrier(synth::FmEngine& fm, const OperatorVoice& voice, int fnum, int block);

// The amplitude of the component at frequency (Hann window; a sine of amplitude A gives A).
double amplitudeAt(const std::vector<float>& samples, double frequency, size_t begin = 0, size_t end = 0,
                   double rate = kSampleRate);
// The mean frequency from the first to the last rising zero crossing (linearly interpolated).
double zeroCrossingFrequency(const std::vector<float>& samples, size_t begin = 0, size_t end = 0);
// The peak level in dB (full scale 0 dB) of each window of the given length; -200 for silence.
std::vector<double> levelsDb(const std::vector<float>& samples, int window);
// The time in seconds at which the windowed level first crosses below (falling) or above
// (rising) threshold, interpolated between window centres; -1 if it never does.
double crossingTime(const std::vector<double>& levels, int window, double thresholdDb, bool falling,
                    size_t fromWindow = 0);
double peak(const std::vector<float>& samples, size_t begin = 0, size_t end = 0);
double toDb(double amplitude);

}  // namespace fmtest
