#pragma once
// Sound devices for the tests of live output, whatever card the machine has or lacks: an ALSA
// configuration whose default output is a card that does not exist, or the null device, which
// takes every frame at once and plays nothing.
#include <fstream>
#include <string>

#include "support/child_process.h"

// Whether this build has live output (PortAudio); without it every device is "not built in".
#ifdef VELKOR_LIVE_AUDIO
constexpr bool kLiveAudioBuiltIn = VELKOR_LIVE_AUDIO != 0;
#else
constexpr bool kLiveAudioBuiltIn = false;
#endif

enum class SoundDevice { none, null };

// The environment entry that gives a program started in dir the chosen device.
inline EnvList soundDeviceEnv(const std::string& dir, SoundDevice device) {
    const std::string config = dir + (device == SoundDevice::none ? "/no-card.conf" : "/null-card.conf");
    std::ofstream(config) << (device == SoundDevice::none ? "pcm.!default { type hw card 63 }\n"
                                                          : "pcm.!default { type null }\n");
    return {{"ALSA_CONFIG_PATH", config}};
}
