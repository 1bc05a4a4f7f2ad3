// The demo driver's own capture, rendered by the software YM2608: its melody and bass lines sound
// at the pitches and times of the demo's note table.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/child_process.h"
#include "support/fm_signal.h"
#include "support/guest_image.h"
#include "synth/chip_renderer.h"
#include "tools/render/capture_reader.h"
#include "tools/render/render_job.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kTicksPerWhole = 320;  // the demo's bar: 320 ticks of 5 ms

struct Note {
    const char* name;
    int ticks;
};

// The pitch of a note name such as "C#5" in equal temperament, A4 = 440 Hz.
double frequencyOf(const std::string& name) {
    static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    const std::string pitch = name.substr(0, name.size() - 1);
    const int octave = name.back() - '0';
    int semitone = 0;
    while (pitch != kNames[semitone]) ++semitone;
    return 440.0 * std::pow(2.0, (octave * 12 + semitone - 57) / 12.0);
}

constexpr int L1 = kTicksPerWhole, L2 = L1 / 2, L4 = L1 / 4, L4D = L4 * 3 / 2, L8 = L1 / 8;

const std::vector<Note> kMelody = {
    {"E5", L8}, {"G5", L8}, {"C6", L4},  {"B5", L8}, {"A5", L8}, {"G5", L4}, {"A5", L4D}, {"G5", L8},
    {"E5", L4}, {"C5", L4}, {"F5", L8},  {"A5", L8}, {"C6", L8}, {"A5", L8}, {"G5", L4},  {"F5", L4},
    {"E5", L8}, {"F5", L8}, {"G5", L8},  {"B5", L8}, {"D6", L2}, {"C6", L1},
};
const std::vector<Note> kBass = {
    {"C3", L4}, {"G2", L4}, {"C3", L4}, {"G2", L4}, {"A2", L4}, {"E2", L4}, {"A2", L4}, {"E2", L4},
    {"F2", L4}, {"C3", L4}, {"F2", L4}, {"C3", L4}, {"G2", L4}, {"D3", L4}, {"G2", L4}, {"B2", L4},
    {"C3", L2}, {"C2", L2},
};

// The amplitude of the component at frequency over samples [begin, end) (Hann window).
double amplitudeAt(const std::vector<float>& mono, double frequency, size_t begin, size_t end) {
    return fmtest::amplitudeAt(mono, frequency, begin, end, kRate);
}

// The strongest frequency within 3 % of around, in steps of 0.1 %.
double peakNear(const std::vector<float>& mono, double around, size_t begin, size_t end) {
    double best = around, bestAmplitude = -1;
    for (double f = around * 0.97; f <= around * 1.03; f *= 1.001) {
        const double a = amplitudeAt(mono, f, begin, end);
        if (a > bestAmplitude) {
            bestAmplitude = a;
            best = f;
        }
    }
    return best;
}

class DemoMusic : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = makeTempDir();
        std::filesystem::copy_file(std::string(VELKOR_SOURCE_DIR) + "/demo/demo.bin", dir_ + "/noname.bin");
        runVelkor({}, "l\nwait 0\nv demo.s98\ng\nv\nq\n", noDeviceEnv(), dir_);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

    // The capture rendered with only the writes `keep` lets through, as a mono mix.
    static std::vector<float> renderOnly(const std::function<bool(const render::RegisterEvent&)>& keep) {
        std::string error;
        const auto capture = render::Capture::load(dir_ + "/demo.s98", error);
        EXPECT_TRUE(capture.has_value()) << error;
        if (!capture) return {};
        synth::ChipRenderer chip(capture->info().clock, kRate);
        std::vector<float> stereo;
        auto renderTo = [&](uint64_t frame) {
            const size_t count = static_cast<size_t>(frame - chip.framesRendered());
            const size_t at = stereo.size();
            stereo.resize(at + 2 * count);
            chip.render(count, stereo.data() + at);
        };
        for (const render::RegisterEvent& event : capture->writes()) {
            renderTo(render::frameOfTick(capture->info(), event.tick, kRate));
            if (keep(event)) chip.write(event.bank, event.reg, event.value);
        }
        renderTo(render::totalFrames(capture->info(), kRate));
        std::vector<float> mono(stereo.size() / 2);
        for (size_t i = 0; i < mono.size(); ++i) mono[i] = stereo[2 * i] + stereo[2 * i + 1];
        return mono;
    }

    // Each note, from a little after its start to a little before its end, has its strongest
    // component at the note's pitch (within 1 %: the driver's F-numbers are rounded).
    static void expectLine(const std::vector<float>& mono, const std::vector<Note>& line) {
        const double samplesPerTick = kRate * 0.005;
        int tick = 0;
        for (const Note& note : line) {
            const size_t begin = static_cast<size_t>((tick + 8) * samplesPerTick);
            const size_t end = static_cast<size_t>((tick + note.ticks - 8) * samplesPerTick);
            tick += note.ticks;
            ASSERT_LE(end, mono.size());
            const double expected = frequencyOf(note.name);
            // At most 0.3 s of the note for the search: enough to tell a pitch within 0.1 %.
            const double found = peakNear(mono, expected, begin, std::min(end, begin + static_cast<size_t>(0.3 * kRate)));
            EXPECT_NEAR(found / expected, 1.0, 0.01) << note.name << " at tick " << tick - note.ticks;
            // It is the note that sounds, not a neighbour a semitone off (the whole note, so that
            // a semitone is resolved even in the bass).
            EXPECT_GT(amplitudeAt(mono, expected, begin, end), 4 * amplitudeAt(mono, expected * 1.0595, begin, end))
                << note.name;
        }
    }

    static std::string dir_;
};

std::string DemoMusic::dir_;

bool isKeyWrite(const render::RegisterEvent& e) { return e.bank == 0 && e.reg == 0x28; }
bool isSsgWrite(const render::RegisterEvent& e) { return e.bank == 0 && e.reg < 0x10; }

TEST_F(DemoMusic, TheMelodySoundsItsNotesOnChannel1) {
    const auto mono = renderOnly([](const render::RegisterEvent& e) {
        if (isKeyWrite(e)) return (e.value & 7) == 0;
        return e.bank == 0 && !isSsgWrite(e);
    });
    expectLine(mono, kMelody);
}

TEST_F(DemoMusic, TheBassSoundsItsNotesOnChannel4) {
    const auto mono = renderOnly([](const render::RegisterEvent& e) {
        if (isKeyWrite(e)) return (e.value & 7) == 4;
        return e.bank == 1 || (e.bank == 0 && e.reg >= 0x20 && e.reg < 0x30);
    });
    expectLine(mono, kBass);
}

}  // namespace
