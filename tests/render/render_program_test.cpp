// The real velkor-render on velkor's own captures of the demo session: the WAV file's header and
// length, the S98 and VGM captures of one session rendering the same audio, and every error.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "support/sound_device.h"
#include "support/wav_test_reader.h"
#include "tools/render/capture_reader.h"
#include "tools/render/render_job.h"

namespace {

struct RenderRun {
    std::string out;  // standard output and standard error together
    int status = -1;
};

RenderRun runRender(const std::vector<std::string>& args, const std::string& dir, const EnvList& env = {}) {
    ChildProcess child(VELKOR_RENDER_BINARY, args, env, dir);
    child.closeInput();
    RenderRun run;
    run.status = child.finish(60000);
    run.out = child.output();
    return run;
}

// The RMS level of each 20 ms window, both channels together.
std::vector<double> envelope(const Wav& wav) {
    const size_t window = wav.rate / 50;
    std::vector<double> levels;
    for (size_t start = 0; start + window <= wav.frames(); start += window) {
        double sum = 0;
        for (size_t i = 2 * start; i < 2 * (start + window); ++i)
            sum += static_cast<double>(wav.samples[i]) * wav.samples[i];
        levels.push_back(std::sqrt(sum / (2.0 * window)) / 32768.0);
    }
    return levels;
}

// velkor's own captures of the demo (wait 0: as fast as it runs), made once for the suite.
class RenderProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::string(makeTempDir());
        std::filesystem::copy_file(std::string(VELKOR_SOURCE_DIR) + "/demo/demo.bin", *dir_ + "/noname.bin");
        for (const char* name : {"demo.s98", "demo.vgm"}) {
            const RunResult r =
                runVelkor({}, std::string("l\nwait 0\nv ") + name + "\ng\nv\nq\n", noDeviceEnv(), *dir_);
            ASSERT_EQ(r.status, 0) << r.out;
        }
    }
    static void TearDownTestSuite() {
        std::filesystem::remove_all(*dir_);
        delete dir_;
    }
    static std::string path(const std::string& name) { return *dir_ + "/" + name; }
    static const std::string& dir() { return *dir_; }

    // Renders and checks the one line velkor-render prints on success.
    static Wav rendered(const std::string& in, const std::string& out, const std::vector<std::string>& options = {}) {
        std::vector<std::string> args = {in, out};
        args.insert(args.end(), options.begin(), options.end());
        const RenderRun run = runRender(args, *dir_);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out.rfind(out + ": 8.000 s, ", 0), 0u) << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        return readWav(readFile(path(out)));
    }

private:
    static std::string* dir_;
};

std::string* RenderProgram::dir_ = nullptr;

TEST_F(RenderProgram, TheWavFileHoldsTheMusicsLengthAtTheRate) {
    // The demo: 1600 ticks of 5 ms.
    const Wav at44 = rendered("demo.s98", "a.wav");
    EXPECT_EQ(at44.rate, 44100u);
    EXPECT_EQ(at44.frames(), 352800u);
    const Wav at48 = rendered("demo.s98", "b.wav", {"--rate", "48000"});
    EXPECT_EQ(at48.rate, 48000u);
    EXPECT_EQ(at48.frames(), 384000u);
    EXPECT_EQ(rendered("demo.vgm", "c.wav", {"--rate=48000"}).frames(), 384000u);
    EXPECT_EQ(rendered("demo.vgm", "d.wav", {"--rate", "44100"}).frames(), 352800u);
    const RenderRun run = runRender({"demo.s98", "e.wav"}, dir());
    EXPECT_EQ(run.out, "e.wav: 8.000 s, 352800 frames at 44100 Hz, from demo.s98 (S98, YM2608 (OPNA) at 7987200 Hz)\n");
    for (const Wav& wav : {at44, at48}) {
        for (int16_t sample : wav.samples) ASSERT_TRUE(sample >= -32767 && sample <= 32767);
    }
}

// One session captured both ways. The readers give the same writes in the same order; an S98 tick
// n and the VGM's sample for it land on the same frame at 44100 Hz (both round n * 220.5 halves
// up), and at most one frame apart at 48000 Hz, where the VGM's rounding to samples shows. The audio
// follows: identical at 44100 Hz, the same 20 ms envelope at 48000 Hz.
TEST_F(RenderProgram, TheS98AndVgmCapturesOfOneSessionRenderTheSameAudio) {
    std::string error;
    const auto s98 = render::Capture::load(path("demo.s98"), error);
    ASSERT_TRUE(s98) << error;
    const auto vgm = render::Capture::load(path("demo.vgm"), error);
    ASSERT_TRUE(vgm) << error;
    const std::vector<render::RegisterEvent> s98Writes = s98->writes();
    const std::vector<render::RegisterEvent> vgmWrites = vgm->writes();
    ASSERT_EQ(s98Writes.size(), 382u);
    ASSERT_EQ(vgmWrites.size(), s98Writes.size());
    EXPECT_EQ(s98->info().ticks, 1600u);
    EXPECT_EQ(vgm->info().ticks, 352800u);
    for (uint32_t rate : {44100u, 48000u}) {
        EXPECT_EQ(render::totalFrames(s98->info(), rate), render::totalFrames(vgm->info(), rate));
        for (size_t i = 0; i < s98Writes.size(); ++i) {
            const render::RegisterEvent& a = s98Writes[i];
            const render::RegisterEvent& b = vgmWrites[i];
            ASSERT_EQ(std::tie(a.bank, a.reg, a.value), std::tie(b.bank, b.reg, b.value)) << i;
            const int64_t frameA = static_cast<int64_t>(render::frameOfTick(s98->info(), a.tick, rate));
            const int64_t frameB = static_cast<int64_t>(render::frameOfTick(vgm->info(), b.tick, rate));
            if (rate == 44100) {
                ASSERT_EQ(frameA, frameB) << i;
            } else {
                ASSERT_LE(std::abs(frameA - frameB), 1) << i;
            }
        }
    }
    // The writes spread over the whole tune, not all at its start.
    EXPECT_GT(s98Writes.back().tick, 1000u);

    const Wav s98At44 = rendered("demo.s98", "s98-44.wav");
    const Wav vgmAt44 = rendered("demo.vgm", "vgm-44.wav");
    EXPECT_EQ(s98At44.samples, vgmAt44.samples);
    const Wav s98At48 = rendered("demo.s98", "s98-48.wav", {"--rate", "48000"});
    const Wav vgmAt48 = rendered("demo.vgm", "vgm-48.wav", {"--rate", "48000"});
    ASSERT_EQ(s98At48.frames(), vgmAt48.frames());
    const std::vector<double> a = envelope(s98At48), b = envelope(vgmAt48);
    ASSERT_EQ(a.size(), 400u);
    ASSERT_EQ(b.size(), a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        // One frame of 960 moved at an edge changes a window's level by well under 0.1 dB + noise.
        EXPECT_NEAR(a[i], b[i], 0.02 * std::max(a[i], b[i]) + 1e-4) << "window " << i;
    }
}

// Every failure: one line on standard error naming the problem, a non-zero status, and no WAV file
// left behind.
TEST_F(RenderProgram, ErrorsAreOneLineAndANonZeroStatus) {
    const std::string s98 = readFile(path("demo.s98"));
    const std::string vgm = readFile(path("demo.vgm"));
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return name;
    };
    std::string corrupt = s98;
    corrupt[0x30] = static_cast<char>(0x90);  // a reserved dump command where the dump starts
    std::string vgmCorrupt = vgm;
    vgmCorrupt[0x80] = 0x21;  // an unknown command where the stream starts
    // A sparse file just over the size limit.
    const std::string big = path("big.s98");
    { std::ofstream(big, std::ios::binary) << s98; }
    ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(render::kMaxFileBytes + 1)), 0);

    struct Case {
        std::vector<std::string> args;
        std::string line;  // the whole output, or with `prefix` how its one line begins
        int status;
        bool prefix = false;
    };
    const std::vector<Case> cases = {
        {{write("cut.s98", s98.substr(0, s98.size() / 2)), "out.wav"}, "velkor-render: cut.s98: truncated: ", 1, true},
        {{write("cut.vgm", vgm.substr(0, vgm.size() / 2)), "out.wav"},
         "velkor-render: cut.vgm: truncated: the header says " + std::to_string(vgm.size()) + " bytes, the file has " +
             std::to_string(vgm.size() / 2) + "\n",
         1},
        {{write("corrupt.s98", corrupt), "out.wav"},
         "velkor-render: corrupt.s98: corrupt: reserved dump command 0x90 at offset 0x30\n",
         1},
        {{write("corrupt.vgm", vgmCorrupt), "out.wav"},
         "velkor-render: corrupt.vgm: corrupt: unknown VGM command 0x21 at offset 0x80\n",
         1},
        {{"big.s98", "out.wav"},
         "velkor-render: big.s98: the file is larger than 256 MiB, more than any capture velkor-render plays\n",
         1},
        {{"noname.bin", "out.wav"},
         "velkor-render: noname.bin: not an S98 or VGM file (it starts with neither \"S98\" nor \"Vgm \")\n",
         1},
        {{"missing.s98", "out.wav"}, "velkor-render: cannot read missing.s98: No such file or directory\n", 1},
        {{"demo.s98", "no/such/folder/out.wav"},
         "velkor-render: cannot create no/such/folder/out.wav: No such file or directory\n",
         1},
        {{"demo.s98", "out.wav", "--rate", "22050"},
         "velkor-render: --rate takes 44100 or 48000, not '22050'\n"
         "usage: velkor-render IN OUT.wav [--rate 44100|48000]\n"
         "       velkor-render IN --play [--rate 44100|48000]\n",
         2},
        {{"demo.s98", "out.wav", "--rate"},
         "velkor-render: --rate needs a value: 44100 or 48000\n"
         "usage: velkor-render IN OUT.wav [--rate 44100|48000]\n"
         "       velkor-render IN --play [--rate 44100|48000]\n",
         2},
        {{"demo.s98"},
         "velkor-render: name the WAV file to write\n"
         "usage: velkor-render IN OUT.wav [--rate 44100|48000]\n"
         "       velkor-render IN --play [--rate 44100|48000]\n",
         2},
        {{"demo.s98", "out.wav", "--loud"},
         "velkor-render: unknown option '--loud'\n"
         "usage: velkor-render IN OUT.wav [--rate 44100|48000]\n"
         "       velkor-render IN --play [--rate 44100|48000]\n",
         2},
    };
    for (const Case& c : cases) {
        const RenderRun run = runRender(c.args, dir());
        if (c.prefix) {
            EXPECT_EQ(run.out.rfind(c.line, 0), 0u) << run.out;
            EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        } else {
            EXPECT_EQ(run.out, c.line) << c.args[0];
        }
        EXPECT_EQ(run.status, c.status) << c.args[0];
        EXPECT_FALSE(std::filesystem::exists(path("out.wav"))) << c.args[0];
    }
    // A folder for the output is a file that cannot be created.
    std::filesystem::create_directory(path("folder.wav"));
    const RenderRun folder = runRender({"demo.s98", "folder.wav"}, dir());
    EXPECT_EQ(folder.out, "velkor-render: cannot create folder.wav: Is a directory\n");
    EXPECT_EQ(folder.status, 1);
    // A write that fails: the device is left as it was.
    const RenderRun full = runRender({"demo.s98", "/dev/full"}, dir());
    EXPECT_EQ(full.out, "velkor-render: cannot write /dev/full: No space left on device\n");
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    // And a folder for the input one that cannot be read.
    std::filesystem::create_directory(path("folder.s98"));
    const RenderRun input = runRender({"folder.s98", "out.wav"}, dir());
    EXPECT_EQ(input.out, "velkor-render: cannot read folder.s98: Is a directory\n");
    EXPECT_EQ(input.status, 1);
}

// --play with no sound device: one line saying why, and a non-zero status.
TEST_F(RenderProgram, PlayWithoutASoundDeviceSaysWhyInOneLine) {
    const RenderRun run = runRender({"demo.s98", "--play"}, dir(), soundDeviceEnv(dir(), SoundDevice::none));
    const std::string why = kLiveAudioBuiltIn ? "no sound output device" : "live output is not built in";
    EXPECT_EQ(run.out.rfind("velkor-render: cannot play: " + why, 0), 0u) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_EQ(run.status, 1);
}

// --play into a device: the whole capture goes to it, and nothing is said.
TEST_F(RenderProgram, PlayRendersTheCaptureIntoTheSoundDevice) {
    if (!kLiveAudioBuiltIn) GTEST_SKIP() << "this build has no live output";
    const RenderRun run = runRender({"demo.s98", "--play"}, dir(), soundDeviceEnv(dir(), SoundDevice::null));
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.status, 0);
}

TEST_F(RenderProgram, HelpGoesToStandardOutput) {
    const RenderRun run = runRender({"--help"}, dir());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "usage: velkor-render IN OUT.wav [--rate 44100|48000]\n"
              "       velkor-render IN --play [--rate 44100|48000]\n");
}

}  // namespace
