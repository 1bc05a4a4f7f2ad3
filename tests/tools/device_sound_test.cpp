// velkor-device's sound: the demo that velkor plays into it, rendered on the arrival timeline to a
// WAV file and to the sound card; no sound card is one line, and the WAV file goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "support/register_streams.h"
#include "support/sound_device.h"
#include "support/wav_test_reader.h"

namespace {

// velkor plays the demo at 1 ms a tick (1.6 s of music) into velkor-device started with args.
std::string playDemoInto(const std::string& dir, std::vector<std::string> args, const EnvList& env) {
    std::filesystem::copy_file(std::string(VELKOR_SOURCE_DIR) + "/demo/demo.bin", dir + "/noname.bin");
    args.insert(args.begin(), "./opna");
    ChildProcess device(VELKOR_DEVICE_BINARY, args, env, dir);
    EXPECT_TRUE(waitForLink(dir + "/opna"));
    const RunResult run = runVelkor({}, "l\nwait 1\ng\nq\n", {{"VELKOR_COM3", "./opna"}, {"VELKOR_COM4", "/x"}}, dir);
    EXPECT_NE(run.out.find("tune finished"), std::string::npos) << run.out;
    EXPECT_EQ(device.finish(20000), 0) << device.output();
    return device.output();
}

void expectDemoMusic(const std::string& path) {
    const Wav wav = readWav(readFile(path));
    EXPECT_EQ(wav.rate, 44100u);
    // From the first write to the last, plus at most the one-second tail.
    EXPECT_GT(wav.frames(), static_cast<size_t>(1.55 * 44100));
    EXPECT_LT(wav.frames(), static_cast<size_t>(3.0 * 44100));
    int peak = 0;
    for (const int16_t sample : wav.samples) peak = std::max(peak, std::abs(int{sample}));
    EXPECT_GT(peak / 32768.0, 0.02);
}

TEST(DeviceSound, TheDemoIsRenderedToAWavFileAndPlayedLive) {
    const std::string dir = makeTempDir();
    const std::string out = playDemoInto(dir, {"--wav", "live.wav", "--play"}, soundDeviceEnv(dir, SoundDevice::null));
    if (kLiveAudioBuiltIn) {
        EXPECT_EQ(out.find("not playing"), std::string::npos) << out;
    }
    expectDemoMusic(dir + "/live.wav");
    std::filesystem::remove_all(dir);
}

TEST(DeviceSound, NoSoundCardIsOneLineAndTheWavFileGoesOn) {
    const std::string dir = makeTempDir();
    const std::string out = playDemoInto(dir, {"--play", "--wav", "live.wav"}, soundDeviceEnv(dir, SoundDevice::none));
    const std::string why = kLiveAudioBuiltIn ? "no sound output device" : "live output is not built in";
    EXPECT_NE(out.find("velkor-device: not playing live: " + why), std::string::npos) << out;
    expectDemoMusic(dir + "/live.wav");
    std::filesystem::remove_all(dir);
}

TEST(DeviceSound, AWavFileThatCannotBeCreatedStopsTheDeviceAtOnce) {
    const std::string dir = makeTempDir();
    ChildProcess device(VELKOR_DEVICE_BINARY, {"./opna", "--wav", "no/such/dir/x.wav"}, {}, dir);
    EXPECT_EQ(device.finish(5000), 1);
    EXPECT_EQ(device.output(), "velkor-device: cannot create no/such/dir/x.wav: No such file or directory\n");
    std::filesystem::remove_all(dir);
}

}  // namespace
