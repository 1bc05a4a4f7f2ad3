#pragma once
// velkor-device's sound: what it receives, rendered by the software YM2608 on its arrival
// timeline (the captures' ArrivalTimeline), to a WAV file (--wav) and live through the sound card
// (--play).
#include <cstdint>
#include <memory>
#include <string>

#include "capture/status.h"
#include "tools/device/arrival_timeline.h"

namespace device {

class LivePlayback;
class WavRendering;

class DeviceSound {
public:
    static constexpr uint32_t kRate = 44100;

    DeviceSound();
    ~DeviceSound();
    DeviceSound(const DeviceSound&) = delete;
    DeviceSound& operator=(const DeviceSound&) = delete;

    // false with "cannot create PATH: reason" in error.
    bool openWav(const std::string& path, std::string& error);
    // false with the reason when there is no sound output; the rest of the device goes on.
    bool openPlayback(std::string& reason);

    // One write that arrived at `seconds` on the steady clock.
    void addWrite(double seconds, capture::Bank bank, uint8_t reg, uint8_t value);
    // Renders up to endSeconds (at most the tail past the last write), completes the WAV file and
    // lets the sound card play out. false with the reason when the WAV file failed.
    bool finish(double endSeconds, std::string& error);

private:
    std::unique_ptr<WavRendering> wav_;
    std::unique_ptr<LivePlayback> live_;
    ArrivalTimeline timeline_;
};

}  // namespace device
