#include "synth/resampler.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <numeric>

namespace synth {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The stopband attenuation the filter is designed for, and the top of the band it keeps flat.
constexpr double kStopbandDb = 80.0;
constexpr double kPassbandTopHz = 20000.0;
// Independent partial sums in the inner loop: the filter length is a multiple of this.
constexpr size_t kLanes = 8;

// The modified Bessel function of order 0, by its power series (it converges fast for the
// arguments a Kaiser window uses).
double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    const double quarter = x * x / 4.0;
    for (int k = 1; k < 64; ++k) {
        term *= quarter / (static_cast<double>(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

// A dot product in kLanes independent partial sums, which compilers turn into vector instructions.
inline float dot(const float* __restrict x, const float* __restrict c, size_t taps) {
    float sum[kLanes] = {};
    for (size_t m = 0; m < taps; m += kLanes) {
        for (size_t lane = 0; lane < kLanes; ++lane) sum[lane] += x[m + lane] * c[m + lane];
    }
    float total = 0;
    for (size_t lane = 0; lane < kLanes; ++lane) total += sum[lane];
    return total;
}

double sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

}  // namespace

Resampler::Resampler(uint64_t inputNumerator, uint64_t inputDenominator, uint32_t outputRate)
    : outputRate_(outputRate) {
    // Input frames per output frame, as a reduced fraction.
    uint64_t p = inputNumerator;
    uint64_t q = inputDenominator * outputRate;
    const uint64_t common = std::gcd(p, q);
    p /= common;
    q /= common;
    step_ = p / q;
    stepRem_ = p % q;
    den_ = q;
    phases_ = den_ <= kMaxPhases ? static_cast<uint32_t>(den_) : kMaxPhases;
    coefficients_ = coefficientsFor(inputNumerator, inputDenominator, outputRate, phases_, taps_);
    left_.assign(taps_ + Resampler::kMaxBlock * (step_ + 1) + 1, 0.0f);
    right_.assign(left_.size(), 0.0f);
}

std::shared_ptr<const std::vector<float>> Resampler::coefficientsFor(uint64_t inputNumerator, uint64_t inputDenominator,
                                                                     uint32_t outputRate, uint32_t phases,
                                                                     size_t& taps) {
    struct Design {
        uint64_t numerator, denominator;
        uint32_t rate;
        size_t taps;
        std::shared_ptr<const std::vector<float>> coefficients;
    };
    static constexpr size_t kKept = 8;
    static std::mutex lock;
    static std::deque<Design> designs;
    const std::lock_guard<std::mutex> hold(lock);
    for (const Design& d : designs) {
        if (d.numerator == inputNumerator && d.denominator == inputDenominator && d.rate == outputRate) {
            taps = d.taps;
            return d.coefficients;
        }
    }
    auto coefficients = std::make_shared<const std::vector<float>>(
        design(static_cast<double>(inputNumerator) / static_cast<double>(inputDenominator), outputRate, phases, taps));
    if (designs.size() == kKept) designs.pop_front();
    designs.push_back({inputNumerator, inputDenominator, outputRate, taps, coefficients});
    return coefficients;
}

std::vector<float> Resampler::design(double inputRate, uint32_t outputRate, uint32_t phases, size_t& taps) {
    const double stopEdge = std::min(outputRate / 2.0, inputRate / 2.0);
    const double passEdge = std::min(kPassbandTopHz, 0.9 * stopEdge);
    const double transition = (stopEdge - passEdge) / inputRate;  // in cycles per input frame
    const double cutoff = (passEdge + stopEdge) / 2.0 / inputRate;
    // Kaiser's estimates of the window's shape and the length for the attenuation and transition.
    const double beta = 0.1102 * (kStopbandDb - 8.7);
    const double length = (kStopbandDb - 7.95) / (2.285 * 2.0 * kPi * transition);
    taps = (static_cast<size_t>(std::ceil(length)) + kLanes - 1) / kLanes * kLanes;
    const double half = static_cast<double>(taps) / 2.0;
    const double windowNorm = besselI0(beta);

    std::vector<float> coefficients((phases + 1) * taps, 0.0f);
    std::vector<double> row(taps);
    for (uint32_t phase = 0; phase <= phases; ++phase) {
        const double fraction = static_cast<double>(phase) / phases;
        double sum = 0;
        for (size_t m = 0; m < taps; ++m) {
            // m = 0 is the oldest input frame of the window, taps - 1 the newest.
            const double t = static_cast<double>(taps - 1 - m) + fraction - half;
            const double x = t / half;
            const double window = std::fabs(x) >= 1.0 ? 0.0 : besselI0(beta * std::sqrt(1.0 - x * x)) / windowNorm;
            row[m] = 2.0 * cutoff * sinc(2.0 * cutoff * t) * window;
            sum += row[m];
        }
        // Every phase passes a constant exactly: no ripple at the phase rate.
        for (size_t m = 0; m < taps; ++m) coefficients[phase * taps + m] = static_cast<float>(row[m] / sum);
    }
    return coefficients;
}

size_t Resampler::inputNeeded(size_t frames) const {
    if (frames == 0) return 0;
    const uint64_t last = frames - 1;
    const uint64_t newest = nextNewest_ + last * step_ + (rem_ + last * stepRem_) / den_;
    return static_cast<size_t>(newest + 1 - consumed_);
}

void Resampler::process(const float* in, size_t inputFrames, float* out, size_t frames) {
    // The window of taps_ frames ending at input frame i starts at buffer position i - consumed_ + 1:
    // the buffer holds taps_ frames of history, then this block's input.
    for (size_t i = 0; i < inputFrames; ++i) {
        left_[taps_ + i] = in[2 * i];
        right_[taps_ + i] = in[2 * i + 1];
    }
    for (size_t n = 0; n < frames; ++n) {
        const uint32_t phase =
            phases_ == den_ ? static_cast<uint32_t>(rem_) : static_cast<uint32_t>((rem_ * phases_ + den_ / 2) / den_);
        const float* c = &(*coefficients_)[static_cast<size_t>(phase) * taps_];
        const size_t start = static_cast<size_t>(nextNewest_ + 1 - consumed_);
        const float* l = &left_[start];
        const float* r = &right_[start];
        out[2 * n] = dot(l, c, taps_);
        out[2 * n + 1] = dot(r, c, taps_);
        nextNewest_ += step_;
        rem_ += stepRem_;
        if (rem_ >= den_) {
            rem_ -= den_;
            ++nextNewest_;
        }
    }
    // Keep the newest taps_ frames as the next block's history.
    std::copy(left_.begin() + static_cast<std::ptrdiff_t>(inputFrames),
              left_.begin() + static_cast<std::ptrdiff_t>(inputFrames + taps_), left_.begin());
    std::copy(right_.begin() + static_cast<std::ptrdiff_t>(inputFrames),
              right_.begin() + static_cast<std::ptrdiff_t>(inputFrames + taps_), right_.begin());
    consumed_ += inputFrames;
}

}  // namespace synth
