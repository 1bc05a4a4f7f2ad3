#include "support/fm_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fmtest {

namespace {
constexpr int kSlotOffset[4] = {0, 8, 4, 12};  // operators 1-4 in register order 1, 3, 2, 4

int bankOf(int channel) { return channel / 3; }
int registerOf(int channel) { return channel % 3; }

size_t endOr(size_t end, size_t size) { return end == 0 ? size : std::min(end, size); }
}  // namespace

void setOperator(synth::FmEngine& fm, int channel, int op, const OperatorVoice& v) {
    const int bank = bankOf(channel);
    const int r = registerOf(channel) + kSlotOffset[op];
    fm.write(bank, 0x30 + r, uint8_t((v.detune << 4) | v.multiple));
    fm.write(bank, 0x40 + r, uint8_t(v.totalLevel));
    fm.write(bank, 0x50 + r, uint8_t((v.keyScale << 6) | v.attackRate));
    fm.write(bank, 0x60 + r, uint8_t((v.am ? 0x80 : 0) | v.decayRate));
    fm.write(bank, 0x70 + r, uint8_t(v.sustainRate));
    fm.write(bank, 0x80 + r, uint8_t((v.sustainLevel << 4) | v.releaseRate));
    fm.write(bank, 0x90 + r, uint8_t(v.ssg));
}

void setAlgorithm(synth::FmEngine& fm, int channel, int algorithm, int feedback) {
    fm.write(bankOf(channel), 0xB0 + registerOf(channel), uint8_t((feedback << 3) | algorithm));
}

void setOutputs(synth::FmEngine& fm, int channel, int outputs, int ams, int pms) {
    fm.write(bankOf(channel), 0xB4 + registerOf(channel), uint8_t(outputs | (ams << 4) | pms));
}

void setPitch(synth::FmEngine& fm, int channel, int fnum, int block) {
    fm.write(bankOf(channel), 0xA4 + registerOf(channel), uint8_t((block << 3) | (fnum >> 8)));
    fm.write(bankOf(channel), 0xA0 + registerOf(channel), uint8_t(fnum & 0xFF));
}

void setKeys(synth::FmEngine& fm, int channel, int slotBits) {
    const int code = bankOf(channel) * 4 + registerOf(channel);
    fm.write(0, 0x28, uint8_t((slotBits << 4) | code));
}

double documentedFrequency(int fnum, int block) {
    return fnum * std::exp2(block - 1) * kSampleRate / std::exp2(20);
}

int documentedKeyCode(int fnum, int block) {
    const int f11 = (fnum >> 10) & 1, f10 = (fnum >> 9) & 1, f9 = (fnum >> 8) & 1, f8 = (fnum >> 7) & 1;
    const int n3 = (f11 & (f10 | f9 | f8)) | ((f11 ^ 1) & f10 & f9 & f8);
    return block * 4 + f11 * 2 + n3;
}

Rendered render(synth::FmEngine& fm, int samples) {
    Rendered out;
    out.left.reserve(samples);
    out.right.reserve(samples);
    for (int i = 0; i < samples; ++i) {
        const synth::StereoSample s = fm.next();
        out.left.push_back(s.left);
        out.right.push_back(s.right);
    }
    return out;
}

std::vector<float> renderLeft(synth::FmEngine& fm, int samples) { return render(fm, samples).left; }

void setUpSingleCarrier(synth::FmEngine& fm, const OperatorVoice& voice, int fnum, int block) {
    fm.reset();
    setAlgorithm(fm, 0, 7);
    setOutputs(fm, 0, 0xC0);
    for (int op = 0; op < 3; ++op) setOperator(fm, 0, op, OperatorVoice{.totalLevel = 127});
    setOperator(fm, 0, 3, voice);
    setPitch(fm, 0, fnum, block);
}

double amplitudeAt(const std::vector<float>& samples, double frequency, size_t begin, size_t end, double rate) {
    end = endOr(end, samples.size());
    const size_t n = end - begin;
    double re = 0, im = 0, windowSum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
        const double angle = 2 * std::numbers::pi * frequency * i / rate;
        re += w * samples[begin + i] * std::cos(angle);
        im += w * samples[begin + i] * std::sin(angle);
        windowSum += w;
    }
    return 2 * std::hypot(re, im) / windowSum;
}

double zeroCrossingFrequency(const std::vector<float>& samples, size_t begin, size_t end) {
    end = endOr(end, samples.size());
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            const double t = (i - 1) + samples[i - 1] / double(samples[i - 1] - samples[i]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * kSampleRate / (last - first);
}

std::vector<double> levelsDb(const std::vector<float>& samples, int window) {
    std::vector<double> levels;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        levels.push_back(toDb(peak(samples, start, start + window)));
    }
    return levels;
}

double crossingTime(const std::vector<double>& levels, int window, double thresholdDb, bool falling,
                    size_t fromWindow) {
    for (size_t i = std::max<size_t>(fromWindow, 1); i < levels.size(); ++i) {
        const bool crossed = falling ? (levels[i - 1] > thresholdDb && levels[i] <= thresholdDb)
                                     : (levels[i - 1] < thresholdDb && levels[i] >= thresholdDb);
        if (!crossed) continue;
        const double fraction = (thresholdDb - levels[i - 1]) / (levels[i] - levels[i - 1]);
        return ((i - 1 + fraction) * window + window / 2.0) / kSampleRate;
    }
    return -1;
}

double peak(const std::vector<float>& samples, size_t begin, size_t end) {
    end = endOr(end, samples.size());
    double p = 0;
    for (size_t i = begin; i < end; ++i) p = std::max(p, double(std::fabs(samples[i])));
    return p;
}

double toDb(double amplitude) { return amplitude > 0 ? 20 * std::log10(amplitude) : -200; }

}  // namespace fmtest
