// velkor-render: an S98 or VGM capture of a YM2608 (or YM2203) rendered by the software chip to a
// 16-bit stereo WAV file, or (in builds with live audio) played through the sound card.
//
//   velkor-render IN OUT.wav [--rate 44100|48000]
//   velkor-render IN --play [--rate 44100|48000]
//
// Exit status: 0 done, 1 the input, the output or the render failed (one line on standard error),
// 2 bad arguments (the usage text on standard error).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define VELKOR_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define VELKOR_ISATTY(fd) isatty(fd)
#endif

#include "tools/render/capture_reader.h"
#include "tools/render/live_output.h"
#include "tools/render/render_job.h"
#include "tools/render/wav_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: velkor-render IN OUT.wav [--rate 44100|48000]\n"
    "       velkor-render IN --play [--rate 44100|48000]\n";

struct Arguments {
    std::string input;
    std::string output;
    bool play = false;
    uint32_t rate = render::kDefaultRate;
};

int usageError(const std::string& problem) {
    std::fprintf(stderr, "velkor-render: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

// Fills `arguments`; answers an exit status when the program should end here.
std::optional<int> parseArguments(int argc, char** argv, Arguments& arguments) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--play") {
            arguments.play = true;
        } else if (arg == "--rate" || arg.rfind("--rate=", 0) == 0) {
            std::string value;
            if (arg == "--rate") {
                if (i + 1 >= argc) return usageError("--rate needs a value: 44100 or 48000");
                value = argv[++i];
            } else {
                value = arg.substr(7);
            }
            if (value == "44100") {
                arguments.rate = 44100;
            } else if (value == "48000") {
                arguments.rate = 48000;
            } else {
                return usageError("--rate takes 44100 or 48000, not '" + value + "'");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    const size_t wanted = arguments.play ? 1 : 2;
    if (files.size() != wanted) {
        if (files.empty()) return usageError("name the capture to render");
        if (arguments.play) return usageError("--play takes the capture only, no output file");
        return usageError(files.size() == 1 ? "name the WAV file to write" : "too many files named");
    }
    arguments.input = files[0];
    if (!arguments.play) arguments.output = files[1];
    return std::nullopt;
}

std::string clockTime(double seconds) {
    const long long whole = static_cast<long long>(seconds);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

// A progress bar on standard error, drawn only on a terminal and only once the render has taken
// more than a second, redrawn at most ten times a second.
class ProgressBar {
public:
    explicit ProgressBar(uint32_t rate) : rate_(rate), terminal_(VELKOR_ISATTY(2) != 0), start_(Clock::now()) {}

    void update(uint64_t done, uint64_t total) {
        if (!terminal_) return;
        const Clock::time_point now = Clock::now();
        if (now - start_ < std::chrono::seconds(1) || (drawn_ && now - last_ < std::chrono::milliseconds(100))) return;
        last_ = now;
        drawn_ = true;
        draw(done, total);
    }

    void finish(uint64_t done, uint64_t total) {
        if (!drawn_) return;
        draw(done, total);
        std::fputc('\n', stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kWidth = 30;

    void draw(uint64_t done, uint64_t total) const {
        const double share = total ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
        const int filled = static_cast<int>(share * kWidth);
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(kWidth - filled), '.');
        std::fprintf(stderr, "\rvelkor-render: [%s] %3d %%  %s of %s", bar.c_str(), static_cast<int>(share * 100),
                     clockTime(static_cast<double>(done) / rate_).c_str(),
                     clockTime(static_cast<double>(total) / rate_).c_str());
        std::fflush(stderr);
    }

    uint32_t rate_;
    bool terminal_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point last_;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "velkor-render: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (const std::optional<int> status = parseArguments(argc, argv, arguments)) return *status;

    std::string error;
    const std::optional<render::Capture> capture = render::Capture::load(arguments.input, error);
    if (!capture) return fail(error);
    const render::CaptureInfo& info = capture->info();
    const uint64_t frames = render::totalFrames(info, arguments.rate);
    if (frames > render::WavWriter::kMaxFrames) {
        return fail(arguments.input + ": the music lasts " + clockTime(capture->seconds()) +
                    ", longer than a WAV file holds at " + std::to_string(arguments.rate) + " Hz (" +
                    clockTime(static_cast<double>(render::WavWriter::kMaxFrames) / arguments.rate) + ")");
    }
    if (info.dataBlocks > 0) {
        std::fprintf(stderr, "velkor-render: note: %s: %llu data block%s (sample memory) skipped\n",
                     arguments.input.c_str(), static_cast<unsigned long long>(info.dataBlocks),
                     info.dataBlocks == 1 ? "" : "s");
    }

    if (arguments.play) return render::playLive(*capture, arguments.rate);

    render::WavWriter wav;
    if (!wav.open(arguments.output, arguments.rate, error)) return fail(error);
    ProgressBar progress(arguments.rate);
    const bool rendered = render::renderCapture(
        *capture, arguments.rate, [&](const float* block, size_t count) { return wav.write(block, count); },
        [&](uint64_t done, uint64_t total) { progress.update(done, total); });
    progress.finish(wav.frames(), frames);
    if (!rendered) {
        const std::string message = wav.writeError();
        wav.discard();
        return fail(message);
    }
    if (!wav.finish(error)) return fail(error);
    std::printf("%s: %.3f s, %llu frames at %u Hz, from %s (%s, %s at %u Hz)\n", arguments.output.c_str(),
                capture->seconds(), static_cast<unsigned long long>(frames), arguments.rate, arguments.input.c_str(),
                render::formatName(info.format), render::chipName(info.chip), info.clock);
    return 0;
}
