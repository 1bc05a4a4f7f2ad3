#pragma once
// Measurements on rendered sound shared by the synth part tests: edge timing to a fraction of a
// sample, a single DFT bin, peak-to-peak and RMS over a span.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace sound_measure {

constexpr double kMasterClock = 7987200.0;
constexpr double kChipRate = kMasterClock / 144.0;
constexpr double kPi = 3.14159265358979323846;

// Times (in samples) of the rising edges of a two-level signal whose samples average it over
// each sample's span (sample n covers [n, n + 1)). Around a crossing of the mid level between
// samples n - 1 and n, the fractions a and b of the step those two samples hold place the edge
// at n + 1 - (a + b), whichever of them it fell in. The levels must hold two samples either side.
inline std::vector<double> risingEdges(const std::vector<float>& x, double threshold) {
    std::vector<double> edges;
    for (size_t n = 2; n + 1 < x.size(); ++n) {
        const double lo = x[n - 2];
        const double hi = x[n + 1];
        if (hi - lo < threshold) continue;
        const double mid = (lo + hi) / 2;
        if (!(x[n - 1] <= mid && x[n] > mid)) continue;
        const double a = (x[n - 1] - lo) / (hi - lo);
        const double b = (x[n] - lo) / (hi - lo);
        edges.push_back(static_cast<double>(n) + 1.0 - (a + b));
    }
    return edges;
}

// Undoes a one-pole DC block y[n] = x[n] - x[n-1] + pole * y[n-1] that started from rest,
// giving back the signal before it.
inline std::vector<float> undoDcBlock(const std::vector<float>& y, double pole) {
    std::vector<float> x(y.size());
    double prevX = 0, prevY = 0;
    for (size_t n = 0; n < y.size(); ++n) {
        prevX = prevX + y[n] - pole * prevY;
        prevY = y[n];
        x[n] = static_cast<float>(prevX);
    }
    return x;
}

// The magnitude of the component at frequency (Hz), normalised so a sine of amplitude A reads A.
inline double toneAmplitude(const std::vector<float>& x, double frequency, double rate = kChipRate) {
    double re = 0, im = 0;
    const double w = 2 * kPi * frequency / rate;
    for (size_t n = 0; n < x.size(); ++n) {
        re += x[n] * std::cos(w * static_cast<double>(n));
        im -= x[n] * std::sin(w * static_cast<double>(n));
    }
    return 2 * std::sqrt(re * re + im * im) / static_cast<double>(x.size());
}

inline double peakToPeak(const std::vector<float>& x, size_t begin, size_t end) {
    end = std::min(end, x.size());
    if (begin >= end) return 0;
    const auto [lo, hi] = std::minmax_element(x.begin() + static_cast<std::ptrdiff_t>(begin),
                                              x.begin() + static_cast<std::ptrdiff_t>(end));
    return *hi - *lo;
}

inline double rms(const std::vector<float>& x, size_t begin, size_t end) {
    end = std::min(end, x.size());
    if (begin >= end) return 0;
    double sum = 0;
    for (size_t n = begin; n < end; ++n) sum += static_cast<double>(x[n]) * x[n];
    return std::sqrt(sum / static_cast<double>(end - begin));
}

// The left channel of the chip's next `frames` frames, from frame `from` on.
template <typename Chip>
std::vector<float> leftChannel(Chip& chip, size_t frames, size_t from = 0) {
    std::vector<float> stereo(2 * frames);
    chip.generate(frames, stereo.data());
    std::vector<float> left;
    for (size_t i = from; i < frames; ++i) left.push_back(stereo[2 * i]);
    return left;
}

// The mean absolute difference of successive samples: zero for silence and for DC.
inline double activity(const std::vector<float>& x, size_t begin = 0) {
    if (x.size() < begin + 2) return 0;
    double sum = 0;
    for (size_t n = begin + 1; n < x.size(); ++n) sum += std::fabs(x[n] - x[n - 1]);
    return sum / static_cast<double>(x.size() - begin - 1);
}

}  // namespace sound_measure
