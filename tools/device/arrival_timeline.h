#pragma once
// velkor-device's timeline, shared by its captures and its sound: the first register write is
// time 0, and what it records ends at most one second after the last write, so a note's release is
// heard but a long idle wait before the device ended is not. Each arrival is counted from the
// start, so rounding errors do not add up.
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace device {

class ArrivalTimeline {
public:
    static constexpr double kTailSeconds = 1.0;

    // Notes a write that arrived at `seconds` on the steady clock; answers its time from the start.
    double arrive(double seconds) {
        if (!started_) {
            started_ = true;
            origin_ = seconds;
        }
        lastWrite_ = seconds;
        return seconds - origin_;
    }
    bool started() const { return started_; }
    // Where, from the start, a recording that the device ends at endSeconds ends.
    double endFromStart(double endSeconds) const { return std::min(endSeconds, lastWrite_ + kTailSeconds) - origin_; }
    // How much of the tail after the last write is still to come at endSeconds.
    double tailLeft(double endSeconds) const { return std::max(0.0, lastWrite_ + kTailSeconds - endSeconds); }

private:
    bool started_ = false;
    double origin_ = 0;
    double lastWrite_ = 0;
};

// Whole units of perSecond in `seconds`, rounded, never negative (NaN counts as 0).
inline uint64_t unitsIn(double seconds, double perSecond) {
    const double units = std::round(seconds * perSecond);
    if (!(units > 0)) return 0;
    if (units >= 1.8e19) return UINT64_MAX;
    return static_cast<uint64_t>(units);
}

}  // namespace device
