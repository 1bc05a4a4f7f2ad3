#pragma once
// velkor-device's captures, timed by when the bytes arrived (ArrivalTimeline). VGM counts in
// samples of 1/44100 s, S98 in SYNCs of 1 ms.
#include <string>

#include "capture/s98_writer.h"
#include "capture/vgm_writer.h"
#include "tools/device/arrival_timeline.h"

namespace device {

class ArrivalCapture {
public:
    static constexpr uint32_t kS98SyncsPerSecond = 1000;

    // Either path may be empty (no capture in that format). False when a file cannot be created.
    bool openVgm(const std::string& path) { return vgm_.open(path); }
    bool openS98(const std::string& path);
    // One write that arrived at `seconds` on any steady clock.
    void addWrite(double seconds, capture::Bank bank, uint8_t reg, uint8_t value);
    // Pads the captures up to endSeconds (at most the tail past the last write) and finishes them.
    // False when a file failed to write.
    bool finish(double endSeconds);

private:
    // Moves both captures on to `elapsed` seconds from the start.
    void moveTo(double elapsed);

    capture::VgmWriter vgm_;
    capture::S98Writer s98_;
    ArrivalTimeline timeline_;
    uint64_t syncs_ = 0;  // SYNCs given to the S98 writer so far
};

}  // namespace device
