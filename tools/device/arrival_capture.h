#pragma once
// velkor-device's captures, timed by when the bytes arrived: the first register write is time 0,
// and the capture keeps at most one second after the last write, so a note's release is heard but
// a long idle wait before the device ended is not. VGM counts in samples of 1/44100 s, S98 in
// SYNCs of 1 ms. Each arrival is rounded from the start, so the rounding errors do not add up.
#include <string>

#include "capture/s98_writer.h"
#include "capture/vgm_writer.h"

namespace device {

class ArrivalCapture {
public:
    static constexpr double kTailSeconds = 1.0;
    static constexpr uint32_t kS98SyncsPerSecond = 1000;

    // Either path may be empty (no capture in that format). False when a file cannot be created.
    bool openVgm(const std::string& path) { return vgm_.open(path); }
    bool openS98(const std::string& path);
    // One write that arrived at `seconds` on any steady clock.
    void addWrite(double seconds, capture::Bank bank, uint8_t reg, uint8_t value);
    // Pads the captures up to endSeconds (at most kTailSeconds past the last write) and finishes
    // them. False when a file failed to write.
    bool finish(double endSeconds);

private:
    void moveTo(double seconds);

    capture::VgmWriter vgm_;
    capture::S98Writer s98_;
    bool started_ = false;
    double origin_ = 0;
    double lastWrite_ = 0;
    uint64_t syncs_ = 0;  // SYNCs given to the S98 writer so far
};

}  // namespace device
