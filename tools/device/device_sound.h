#pragma once
// velkor-device's sound: what it receives, rendered by the software YM2608 on its arrival
// timeline, to a WAV file (--wav) and live through the sound card (--play). As for the captures,
// the first register write is time 0 and the sound ends at most one second after the last one.
#include <cstdint>
#include <memory>
#include <string>

#include "capture/status.h"

namespace device {

class LivePlayback;
class WavRendering;

class DeviceSound {
public:
    static constexpr uint32_t kRate = 44100;
    static constexpr double kTailSeconds = 1.0;

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
    bool started_ = false;
    double origin_ = 0;
    double lastWrite_ = 0;
};

}  // namespace device
