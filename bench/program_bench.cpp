// velkor-bench: the whole-program benchmarks. It runs the real velkor on the guest images in
// bench/guests with a scripted standard input, times each process from outside (fork, exec, wait4,
// which also gives the peak memory), checks once per workload that the guest executes the number of
// instructions its source documents, runs velkor-micro-bench when it was built, and prints one
// table: workload | figure (median) | target | met?.
//
// usage: velkor-bench [--runs N] [--quick] [--no-micro] [--strict]
//                     [--velkor PATH] [--device PATH] [--render PATH] [--micro PATH] [--guests DIR]
//                     [--demo FILE] [--baseline PATH] [--only SUBSTRING]
//   --demo      the demo driver image (demo/demo.bin of the source tree unless given)
//   --quick     one short run of everything (for CI: checks that the harness works, in seconds)
//   --strict    exit with status 1 when a target is missed (otherwise only when a run fails)
//   --baseline  another velkor (an older build): the g rows are timed with it as well, its samples
//               taken in turn with this build's, and show its median and the ratio between them
//   --only      only the rows whose workload names contain SUBSTRING
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifndef VELKOR_BINARY
#define VELKOR_BINARY ""
#endif
#ifndef VELKOR_DEVICE_BINARY
#define VELKOR_DEVICE_BINARY ""
#endif
#ifndef VELKOR_RENDER_BINARY
#define VELKOR_RENDER_BINARY ""
#endif
#ifndef VELKOR_MICRO_BENCH
#define VELKOR_MICRO_BENCH ""
#endif
#ifndef VELKOR_BENCH_GUESTS
#define VELKOR_BENCH_GUESTS ""
#endif
#ifndef VELKOR_DEMO_IMAGE
#define VELKOR_DEMO_IMAGE ""
#endif

namespace fs = std::filesystem;

namespace {

// ---- What the guests execute, by construction (each .asm derives its count) ---------------------

// mixed.asm: 4 + OUTER * (3 + 15.5 * 1000)
uint64_t mixedSteps(uint64_t outer) { return 4 + outer * 15503; }
// portlog.asm: 4 + OUTER * (3 + 3 * 1000) steps, OUTER * 1000 port writes
uint64_t portLogSteps(uint64_t outer) { return 4 + outer * 3003; }
uint64_t portLogWrites(uint64_t outer) { return outer * 1000; }
// serial.asm: 3 + OUTER * (3 + 8 * 1000) steps, OUTER * 1000 register messages
uint64_t serialSteps(uint64_t outer) { return 3 + outer * 8003; }
uint64_t serialMessages(uint64_t outer) { return outer * 1000; }
// wait.asm: 3 + TICKS * 20,000
uint64_t waitSteps(uint64_t ticks) { return 3 + ticks * 20000; }
// alu.asm: 4 + OUTER * (3 + 4 * 1000)
uint64_t aluSteps(uint64_t outer) { return 4 + outer * 4003; }
// memcall.asm: 5 + OUTER * (3 + 8 * 1000)
uint64_t memcallSteps(uint64_t outer) { return 5 + outer * 8003; }
// strings.asm: 5 + OUTER * (5 + 4 * 1000)
uint64_t stringsSteps(uint64_t outer) { return 5 + outer * 4005; }
// cover.asm: one step on every offset of the segment
constexpr uint64_t kCoverSteps = 65536;
// decode.asm: 64 instructions, listed by u 100 and seven plain u (8 per listing)
constexpr int kListingsPerStretch = 8;
constexpr int kInstructionsPerListing = 8;
constexpr const char* kAfterStretch = ">0000:0195";  // the first line of the listing after the stretch
// demo.asm: TUNE_TICKS = five bars of 320 ticks, one WAIT each, recorded at 5 ms a tick (8 s of music)
constexpr uint64_t kDemoTicks = 1600;
constexpr unsigned kDemoTickMs = 5;
constexpr double kDemoSeconds = kDemoTicks * kDemoTickMs / 1000.0;

constexpr int kWaitMs = 5;
constexpr double kWaitTolerance = 0.005;

// How big each measured run is: at the targets a normal run lasts from a fraction of a second to a
// few seconds (the WAIT run is 5 s by definition); the quick sizes keep the whole of --quick short.
struct Sizes {
    uint16_t mixedOuter;   // g over the mixed workload, with and without coverage
    uint16_t aluOuter;     // g over the ALU register loop
    uint16_t memcallOuter;  // g over the memory-operand and CALL/RET loop
    uint16_t stringsOuter;  // g over the string-element loop
    uint16_t traceOuter;   // x with a simple trace
    uint16_t portOuter;    // the port log
    uint16_t serialOuter;  // messages to velkor-device
    uint16_t ticks;        // WAITs at wait 5
    int stretchPasses;     // u listings of the decode stretch, 8 listings each
    int startupSamples;    // start-up is short: more samples per median
};
constexpr Sizes kNormalSizes{10000, 45000, 15000, 30000, 100, 500, 300, 1000, 75000, 21};
constexpr Sizes kQuickSizes{1000, 4500, 1500, 3000, 10, 20, 20, 200, 1000, 5};

// ---- Options -----------------------------------------------------------------------------------

struct Options {
    int runs = 5;
    bool quick = false;
    bool micro = true;
    bool strict = false;
    std::string velkor = VELKOR_BINARY;
    std::string device = VELKOR_DEVICE_BINARY;
    std::string render = VELKOR_RENDER_BINARY;
    std::string microBench = VELKOR_MICRO_BENCH;
    std::string guests = VELKOR_BENCH_GUESTS;
    std::string demo = VELKOR_DEMO_IMAGE;
    std::string baseline;  // another velkor to compare the g rows with, or none
    std::string only;      // the rows to run: those whose names contain it (all when empty)
};

constexpr const char* kUsage =
    "usage: velkor-bench [--runs N] [--quick] [--no-micro] [--strict]\n"
    "                    [--velkor PATH] [--device PATH] [--render PATH] [--micro PATH] [--guests DIR]\n"
    "                    [--demo FILE] [--baseline PATH] [--only SUBSTRING]\n";

// Every program runs in a scratch folder of its own, so a relative path given on the command line
// (`--baseline build-baseline/velkor`) must be resolved before that.
void makeProgramPathsAbsolute(Options& options) {
    for (std::string* path : {&options.velkor, &options.device, &options.render, &options.microBench,
                              &options.baseline}) {
        if (!path->empty()) *path = fs::absolute(*path).string();
    }
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--no-micro") {
            options.micro = false;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--runs" && hasValue) {
            options.runs = std::atoi(argv[++i]);
            if (options.runs < 1) return false;
        } else if (arg == "--velkor" && hasValue) {
            options.velkor = argv[++i];
        } else if (arg == "--device" && hasValue) {
            options.device = argv[++i];
        } else if (arg == "--render" && hasValue) {
            options.render = argv[++i];
        } else if (arg == "--micro" && hasValue) {
            options.microBench = argv[++i];
        } else if (arg == "--guests" && hasValue) {
            options.guests = argv[++i];
        } else if (arg == "--demo" && hasValue) {
            options.demo = argv[++i];
        } else if (arg == "--baseline" && hasValue) {
            options.baseline = argv[++i];
        } else if (arg == "--only" && hasValue) {
            options.only = argv[++i];
        } else {
            return false;
        }
    }
    if (options.quick) options.runs = 1;
    makeProgramPathsAbsolute(options);
    return true;
}

// ---- Small helpers -----------------------------------------------------------------------------

struct BenchError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double nowSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

uint64_t countLines(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    uint64_t lines = 0;
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        lines += static_cast<uint64_t>(std::count(buffer, buffer + file.gcount(), '\n'));
    }
    return lines;
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

// Three significant digits, which is what run-to-run noise leaves of a figure.
std::string threeDigits(double value) {
    char text[32];
    const double magnitude = std::fabs(value);
    std::snprintf(text, sizeof text, magnitude >= 100 ? "%.0f" : magnitude >= 10 ? "%.1f" : "%.2f", value);
    return text;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string millionsPerSecond(double value, const char* unit) { return threeDigits(value / 1e6) + " M " + unit; }
std::string thousandsPerSecond(double value, const char* unit) { return threeDigits(value / 1e3) + " k " + unit; }
std::string instructionRate(double value) { return millionsPerSecond(value, "instr/s"); }

// A fresh folder per session: velkor writes history.txt, iow.txt and coverage.txt into its current
// folder, and the guest is copied in so that its name stays short.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/velkor-bench.XXXXXX";
        if (!mkdtemp(pattern)) throw BenchError("cannot create a scratch folder in /tmp");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// ---- Processes ---------------------------------------------------------------------------------

// A watchdog for the one child being waited for: a hung run is killed instead of hanging the bench.
volatile pid_t watchedChild = 0;
volatile sig_atomic_t watchdogFired = 0;
void killWatchedChild(int) {
    if (watchedChild > 0) kill(watchedChild, SIGKILL);
    watchdogFired = 1;
}

struct Launch {
    std::vector<std::string> argv;
    fs::path folder;
    std::vector<std::pair<std::string, std::string>> environment;
    std::string input = "/dev/null";
    std::string output = "/dev/null";  // standard output and standard error
};

struct Outcome {
    double seconds = 0;
    long maxRssKiB = 0;
    int status = 0;
    bool timedOut = false;

    // What went wrong, for a program that should have ended with status 0.
    std::string failure(const std::string& program) const {
        if (timedOut) return program + " did not end in time and was killed";
        return program + " ended with status " + std::to_string(status);
    }
};

[[noreturn]] void execInChild(const Launch& launch, int inputFd, int outputFd) {
    for (const auto& [name, value] : launch.environment) setenv(name.c_str(), value.c_str(), 1);
    if (chdir(launch.folder.c_str()) != 0) _exit(126);
    dup2(inputFd, STDIN_FILENO);
    dup2(outputFd, STDOUT_FILENO);
    dup2(outputFd, STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& arg : launch.argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

pid_t spawn(const Launch& launch, int inputFd, int outputFd) {
    const pid_t pid = fork();
    if (pid < 0) throw BenchError("fork failed");
    if (pid == 0) execInChild(launch, inputFd, outputFd);
    return pid;
}

pid_t spawnWithFiles(const Launch& launch) {
    const int input = open(launch.input.c_str(), O_RDONLY | O_CLOEXEC);
    const int output = open(launch.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (input < 0 || output < 0) throw BenchError("cannot open " + launch.input + " or " + launch.output);
    const pid_t pid = spawn(launch, input, output);
    close(input);
    close(output);
    return pid;
}

Outcome waitFor(pid_t pid, double start, unsigned timeoutSeconds) {
    watchedChild = pid;
    watchdogFired = 0;
    alarm(timeoutSeconds);
    int status = 0;
    rusage usage{};
    int waited = 0;
    while ((waited = wait4(pid, &status, 0, &usage)) < 0 && errno == EINTR) {
    }
    Outcome outcome;
    outcome.seconds = nowSeconds() - start;
    alarm(0);
    watchedChild = 0;
    if (waited < 0) throw BenchError("wait4 failed");
    outcome.maxRssKiB = usage.ru_maxrss;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.timedOut = watchdogFired != 0;
    return outcome;
}

// ---- velkor sessions ---------------------------------------------------------------------------

std::string patchRepeatCount(unsigned count) {
    char line[32];
    std::snprintf(line, sizeof line, "e 102 %x %x\n", count & 0xFF, count >> 8);
    return line;
}

class Bench {
public:
    explicit Bench(const Options& options) : options_(options), sizes_(options.quick ? kQuickSizes : kNormalSizes) {}

    const Options& options() const { return options_; }
    const Sizes& sizes() const { return sizes_; }

    // The same runs with the baseline velkor in place of this build's.
    Bench baselineBench() const {
        Options baseline = options_;
        baseline.velkor = options_.baseline;
        return Bench(baseline);
    }
    bool hasBaseline() const { return !options_.baseline.empty(); }

    // Whether --only lets the row with this name run.
    bool selected(const std::string& workload) const {
        return options_.only.empty() || workload.find(options_.only) != std::string::npos;
    }

    // A session script that loads the guest (copied into the folder) and patches its repeat count.
    std::string loadGuest(const ScratchFolder& folder, const std::string& guest, unsigned count = 0) const {
        copyIntoFolder(folder, fs::path(options_.guests) / guest, guest);
        return "l " + guest + "\n" + (count ? patchRepeatCount(count) : "");
    }

    // The same for the demo driver, which lives in demo/ rather than among the bench guests: it is
    // the one real driver, and a copy beside the guests could drift from it.
    std::string loadDemo(const ScratchFolder& folder) const {
        copyIntoFolder(folder, options_.demo, "demo.bin");
        return "l demo.bin\n";
    }

    // Runs velkor (with the command-line options given) on the script; its console output goes to
    // the named file in the folder (or nowhere).
    Outcome runVelkor(const ScratchFolder& folder, const std::string& script, const std::string& output = "",
                      const std::string& comPort = "", const std::vector<std::string>& velkorOptions = {}) const {
        std::ofstream(folder / "script.txt", std::ios::binary) << script;
        Launch launch;
        launch.argv = {options_.velkor};
        launch.argv.insert(launch.argv.end(), velkorOptions.begin(), velkorOptions.end());
        launch.folder = folder.path();
        const std::string noPort = (folder / "no-port").string();
        launch.environment = {{"VELKOR_COM3", comPort.empty() ? noPort : comPort}, {"VELKOR_COM4", noPort}};
        launch.input = (folder / "script.txt").string();
        if (!output.empty()) launch.output = (folder / output).string();
        const double start = nowSeconds();
        const pid_t pid = spawnWithFiles(launch);
        const Outcome outcome = waitFor(pid, start, kRunTimeoutSeconds);
        if (outcome.status != 0) throw BenchError(outcome.failure("velkor"));
        return outcome;
    }

    // Runs another program of the build (its arguments after the path) in the folder, timed.
    Outcome runProgram(const ScratchFolder& folder, const std::vector<std::string>& argv) const {
        Launch launch;
        launch.argv = argv;
        launch.folder = folder.path();
        launch.output = (folder / "program.txt").string();
        const double start = nowSeconds();
        const Outcome outcome = waitFor(spawnWithFiles(launch), start, kRunTimeoutSeconds);
        if (outcome.status != 0) throw BenchError(outcome.failure(argv.at(0)));
        return outcome;
    }

    // The number of steps a run with history on recorded: g (with h) and hw print it.
    uint64_t recordedSteps(const ScratchFolder& folder, const std::string& script,
                           const std::vector<std::string>& velkorOptions = {}) const {
        runVelkor(folder, script, "console.txt", "", velkorOptions);
        return historyCount(folder);
    }

    // hw's count on the console ("write history..N").
    static uint64_t historyCount(const ScratchFolder& folder) {
        const std::string console = readFile(folder / "console.txt");
        const std::string marker = "write history..";
        const auto at = console.find(marker);
        if (at == std::string::npos) throw BenchError("hw printed no count");
        return std::strtoull(console.c_str() + at + marker.size(), nullptr, 10);
    }

    static constexpr unsigned kRunTimeoutSeconds = 300;

private:
    static void copyIntoFolder(const ScratchFolder& folder, const fs::path& image, const std::string& name) {
        std::error_code error;
        fs::copy_file(image, folder / name, fs::copy_options::overwrite_existing, error);
        if (error) throw BenchError("cannot copy " + image.string());
    }

    Options options_;
    Sizes sizes_;
};

void expectCount(const char* what, uint64_t got, uint64_t expected) {
    if (got != expected) {
        throw BenchError(std::string(what) + ": " + std::to_string(got) + ", expected " + std::to_string(expected));
    }
}

// Confirms a guest's documented step count with the history: h, g, hw (below the 32,001 limit).
void verifySteps(const Bench& bench, const std::string& guest, unsigned count, uint64_t expected,
                 const std::string& setup = "", const std::vector<std::string>& velkorOptions = {}) {
    ScratchFolder folder;
    const std::string script = bench.loadGuest(folder, guest, count) + setup + "h\ng\nhw\nq\n";
    expectCount((guest + " steps").c_str(), bench.recordedSteps(folder, script, velkorOptions), expected);
}

// What the monitor's "capture end: FILE, A0 writes n, A1 writes n, ticks n, s.sss s" line says.
struct CaptureSummary {
    uint64_t writesA0 = 0;
    uint64_t writesA1 = 0;
    uint64_t ticks = 0;
};

uint64_t numberAfter(const std::string& line, const std::string& label) {
    const auto at = line.find(label);
    if (at == std::string::npos) throw BenchError("the capture end line has no '" + label + "'");
    return std::strtoull(line.c_str() + at + label.size(), nullptr, 10);
}

// The capture end line for the file in console.txt; the file itself must hold at least the
// register writes (3 bytes each in S98 and VGM alike).
CaptureSummary captureSummary(const ScratchFolder& folder, const std::string& file) {
    const std::string console = readFile(folder / "console.txt");
    const auto at = console.find("capture end: " + file + ", ");
    if (at == std::string::npos) throw BenchError("velkor printed no capture end for " + file);
    const std::string line = console.substr(at, console.find('\n', at) - at);
    const CaptureSummary summary{numberAfter(line, "A0 writes "), numberAfter(line, "A1 writes "),
                                 numberAfter(line, "ticks ")};
    std::error_code error;
    const uintmax_t size = fs::file_size(folder / file, error);
    if (error || size < 3 * (summary.writesA0 + summary.writesA1)) {
        throw BenchError(file + " does not hold the writes its capture end line counts");
    }
    return summary;
}

// velkor-device on a path in the folder, stopped (if it has not ended by itself) when this ends.
class DeviceProcess {
public:
    DeviceProcess(const Bench& bench, const ScratchFolder& folder) : folder_(folder) {
        Launch launch;
        launch.argv = {bench.options().device, (folder / "opna").string()};
        launch.folder = folder.path();
        launch.output = (folder / "device.txt").string();
        start_ = nowSeconds();
        pid_ = spawnWithFiles(launch);
        waitForLink();
    }
    ~DeviceProcess() { stop(); }
    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    std::string port() const { return (folder_ / "opna").string(); }

    // The device ends by itself once velkor has hung up; returns the register writes it counted.
    uint64_t finish() {
        const Outcome outcome = waitFor(pid_, start_, kDeviceTimeoutSeconds);
        pid_ = 0;
        if (outcome.status != 0) throw BenchError(outcome.failure("velkor-device"));
        const std::string summary = readFile(folder_ / "device.txt");
        const auto at = summary.find("A0 writes ");
        if (at == std::string::npos) throw BenchError("velkor-device printed no summary");
        return std::strtoull(summary.c_str() + at + 10, nullptr, 10);
    }

private:
    static constexpr unsigned kDeviceTimeoutSeconds = 10;

    // Called from the constructor: on failure the device is stopped here, as no destructor will run.
    void waitForLink() {
        const fs::path link = folder_ / "opna";
        for (int i = 0; i < 5000; ++i) {
            if (fs::is_symlink(link)) return;
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = 0;
                throw BenchError("velkor-device did not start");
            }
            usleep(1000);
        }
        stop();
        throw BenchError("velkor-device made no link in 5 s");
    }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

    const ScratchFolder& folder_;
    pid_t pid_ = 0;
    double start_ = 0;
};

// ---- The table ---------------------------------------------------------------------------------

struct Target {
    enum class Kind { none, atLeast, atMost, within } kind = Kind::none;
    double value = 0;
    double tolerance = 0;  // a fraction of value, for within
    std::string text = "—";

    static Target atLeast(double value, std::string text) { return {Kind::atLeast, value, 0, std::move(text)}; }
    static Target atMost(double value, std::string text) { return {Kind::atMost, value, 0, std::move(text)}; }
    static Target within(double value, double tolerance, std::string text) {
        return {Kind::within, value, tolerance, std::move(text)};
    }

    std::string verdict(double figure) const {
        switch (kind) {
            case Kind::atLeast: return figure >= value ? "yes" : "no";
            case Kind::atMost: return figure <= value ? "yes" : "no";
            case Kind::within: return std::fabs(figure - value) <= value * tolerance ? "yes" : "no";
            case Kind::none: break;
        }
        return "—";
    }
};

struct Row {
    std::string workload;
    std::string figure;
    std::string target;
    std::string met;
};

class Table {
public:
    void add(Row row) { rows_.push_back(std::move(row)); }
    void addError(const std::string& workload, const std::string& message, const Target& target) {
        rows_.push_back({workload, "error: " + message, target.text, "—"});
        ++errors_;
    }
    int errors() const { return errors_; }
    int missed() const {
        return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.met == "no"; }));
    }

    void print() const {
        std::printf("| workload | figure (median) | target | met? |\n|---|---|---|---|\n");
        for (const Row& row : rows_) {
            std::printf("| %s | %s | %s | %s |\n", row.workload.c_str(), row.figure.c_str(), row.target.c_str(),
                        row.met.c_str());
        }
    }

private:
    std::vector<Row> rows_;
    int errors_ = 0;
};

// Whether a row is timed with the baseline velkor as well, when --baseline names one. Only g rows
// are: their figures are guest instructions per second.
enum class BaselineUse {
    none,   // this build only
    shown,  // the baseline's median and the ratio are shown; the row keeps its own target
    judged,  // the ratio is the row's target (kSpeedupTarget); without a baseline it has none
};

// What the fast run loop must give over the build before it.
constexpr double kSpeedupTarget = 2.5;

// One whole-program workload: a check that it does what its guest documents, then the measured runs.
struct Workload {
    std::string name;
    std::function<void(const Bench&)> verify;
    std::function<double(const Bench&)> sample;  // one measured run, the figure in its unit
    std::function<std::string(double)> show;
    Target target;
    int samples = 0;  // 0: the number of runs
    BaselineUse baseline = BaselineUse::none;
};

// Errors of the baseline's runs say so: its velkor fails in the same words as this build's.
template <typename Run>
auto namingBaseline(Run run) {
    try {
        return run();
    } catch (const std::exception& error) {
        throw BenchError(std::string("baseline: ") + error.what());
    }
}

struct Samples {
    std::vector<double> current;
    std::vector<double> baseline;  // empty without a baseline
};

// The measured runs, with the baseline's (when given) taken in turn with this build's, so that both
// meet the same moments of a machine whose speed drifts.
Samples takeSamples(const Bench& bench, const Bench* baseline, const Workload& workload) {
    Samples samples;
    const int count = workload.samples ? workload.samples : bench.options().runs;
    for (int i = 0; i < count; ++i) {
        samples.current.push_back(workload.sample(bench));
        std::fprintf(stderr, " %s", workload.show(samples.current.back()).c_str());
        if (!baseline) continue;
        samples.baseline.push_back(namingBaseline([&] { return workload.sample(*baseline); }));
        std::fprintf(stderr, " (baseline %s)", instructionRate(samples.baseline.back()).c_str());
    }
    std::fprintf(stderr, "\n");
    return samples;
}

Target speedupTarget() { return Target::atLeast(kSpeedupTarget, format(">= %.1f × baseline", kSpeedupTarget)); }

// A row with the baseline's median beside this build's, and the ratio between them.
Row comparedRow(const Workload& workload, double current, double baseline) {
    const double ratio = current / baseline;
    const std::string figure =
        workload.show(current) + "; baseline " + instructionRate(baseline) + ", " + format("%.2f ×", ratio);
    const bool judged = workload.baseline == BaselineUse::judged;
    const Target target = judged ? speedupTarget() : workload.target;
    return {workload.name, figure, target.text, target.verdict(judged ? ratio : current)};
}

// Runs the workload (unless --only leaves it out) and adds its row; returns the median (NaN when it
// failed or did not run).
double runWorkload(const Bench& bench, const Workload& workload, Table& table) {
    if (!bench.selected(workload.name)) return std::nan("");
    std::fprintf(stderr, "velkor-bench: %s:", workload.name.c_str());
    try {
        const bool compared = workload.baseline != BaselineUse::none && bench.hasBaseline();
        const std::optional<Bench> baseline = compared ? std::optional<Bench>(bench.baselineBench()) : std::nullopt;
        workload.verify(bench);
        // The baseline must execute the same instructions, or the ratio compares different work.
        if (baseline) namingBaseline([&] { workload.verify(*baseline); });
        const Samples samples = takeSamples(bench, baseline ? &*baseline : nullptr, workload);
        const double figure = median(samples.current);
        if (baseline) {
            table.add(comparedRow(workload, figure, median(samples.baseline)));
        } else {
            table.add({workload.name, workload.show(figure), workload.target.text, workload.target.verdict(figure)});
        }
        return figure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, " error: %s\n", error.what());
        table.addError(workload.name, error.what(), workload.target);
        return std::nan("");
    }
}

// ---- The whole-program workloads ---------------------------------------------------------------

// The processor a g row runs on: the default one, or the exact 8086 (velkor -exact).
std::vector<std::string> processorOptions(bool exact) { return exact ? std::vector<std::string>{"-exact"} : std::vector<std::string>{}; }

double mixedRate(const Bench& bench, bool coverage, bool exact = false) {
    ScratchFolder folder;
    const unsigned outer = bench.sizes().mixedOuter;
    const std::string script = bench.loadGuest(folder, "mixed.bin", outer) + (coverage ? "c\n" : "") + "g\nq\n";
    return static_cast<double>(mixedSteps(outer)) / bench.runVelkor(folder, script, "", "", processorOptions(exact)).seconds;
}

void verifyMixed(const Bench& bench, bool coverage, bool exact = false) {
    const std::string setup = coverage ? "c\n" : "";
    verifySteps(bench, "mixed.bin", 1, mixedSteps(1), setup, processorOptions(exact));
    verifySteps(bench, "mixed.bin", 2, mixedSteps(2), setup, processorOptions(exact));
}

Workload goMixed() {
    return {"g, mixed workload, history and coverage off",
            [](const Bench& b) { verifyMixed(b, false); },
            [](const Bench& b) { return mixedRate(b, false); },
            [](double v) { return millionsPerSecond(v, "instr/s"); },
            Target::atLeast(150e6, ">= 150 M instr/s"),
            0,
            BaselineUse::shown};
}

// A target relative to another line: at least a share of its median (none when that line failed).
Target shareOfLine(double other, double share, const std::string& which, const std::function<std::string(double)>& show) {
    if (std::isnan(other)) return Target{};
    const double minimum = other * share;
    const std::string text = ">= " + format("%.0f", 100 * share) + " % of " + which + " (" + show(minimum) + ")";
    return Target::atLeast(minimum, text);
}

Target shareOfLineAbove(double above, double share, const std::function<std::string(double)>& show) {
    return shareOfLine(above, share, "the line above", show);
}

// A figure with its share of the line above, when that line has one.
std::string withShare(const std::string& figure, double value, double above) {
    return std::isnan(above) ? figure : figure + " (" + format("%.0f", 100 * value / above) + " %)";
}

Workload goMixedCoverage(double withoutCoverage) {
    auto show = [](double v) { return millionsPerSecond(v, "instr/s"); };
    return {"g, mixed workload, coverage on",
            [](const Bench& b) { verifyMixed(b, true); },
            [](const Bench& b) { return mixedRate(b, true); },
            [withoutCoverage, show](double v) { return withShare(show(v), v, withoutCoverage); },
            shareOfLineAbove(withoutCoverage, 0.5, show),
            0,
            BaselineUse::shown};
}

// The same g rows on the exact 8086, each against its default-mode line: within 10 %.
Workload goMixedExact(double standard, bool coverage) {
    auto show = [](double v) { return millionsPerSecond(v, "instr/s"); };
    return {coverage ? "g, mixed workload, exact 8086 (-exact), coverage on"
                     : "g, mixed workload, exact 8086 (-exact), history and coverage off",
            [coverage](const Bench& b) { verifyMixed(b, coverage, true); },
            [coverage](const Bench& b) { return mixedRate(b, coverage, true); },
            [standard, show](double v) { return withShare(show(v), v, standard); },
            shareOfLine(standard, 0.9, "the default-mode line", show),
            0,
            BaselineUse::shown};
}

// The loops the fast run loop was made for, one guest each (its source derives its count).
struct GuestLoop {
    const char* name;  // the row's name is "g, <name> loop, ..."
    const char* image;
    uint64_t (*steps)(uint64_t outer);
    uint16_t Sizes::*outer;
};

constexpr GuestLoop kGuestLoops[] = {
    {"alu", "alu.bin", aluSteps, &Sizes::aluOuter},
    {"memcall", "memcall.bin", memcallSteps, &Sizes::memcallOuter},
    {"strings", "strings.bin", stringsSteps, &Sizes::stringsOuter},
};

double loopRate(const Bench& bench, const GuestLoop& loop, bool exact) {
    ScratchFolder folder;
    const unsigned outer = bench.sizes().*loop.outer;
    const std::string script = bench.loadGuest(folder, loop.image, outer) + "g\nq\n";
    const Outcome run = bench.runVelkor(folder, script, "", "", processorOptions(exact));
    return static_cast<double>(loop.steps(outer)) / run.seconds;
}

void verifyLoop(const Bench& bench, const GuestLoop& loop, bool exact) {
    for (const unsigned outer : {1u, 2u}) {
        verifySteps(bench, loop.image, outer, loop.steps(outer), "", processorOptions(exact));
    }
}

// g over one of the loops, history and coverage off; with a baseline its target is the speed-up.
Workload goLoop(const GuestLoop& loop, bool exact) {
    const std::string processor = exact ? "exact 8086 (-exact), " : "";
    const std::string name = std::string("g, ") + loop.name + " loop, " + processor + "history and coverage off";
    return {name,
            [loop, exact](const Bench& b) { verifyLoop(b, loop, exact); },
            [loop, exact](const Bench& b) { return loopRate(b, loop, exact); },
            instructionRate,
            Target{},
            0,
            BaselineUse::judged};
}

// x with history simple: one trace line per executed instruction in history.txt.
Workload traceSimple() {
    return {"x, history simple (a trace line per instruction)",
            [](const Bench& b) {
                ScratchFolder folder;
                b.runVelkor(folder, b.loadGuest(folder, "mixed.bin", 1) + "h\nx\nq\n");
                expectCount("history.txt lines", countLines(folder / "history.txt"), mixedSteps(1));
            },
            [](const Bench& b) {
                ScratchFolder folder;
                const unsigned outer = b.sizes().traceOuter;
                const Outcome run = b.runVelkor(folder, b.loadGuest(folder, "mixed.bin", outer) + "h\nx\nq\n");
                return static_cast<double>(mixedSteps(outer)) / run.seconds;
            },
            [](double v) { return millionsPerSecond(v, "lines/s"); },
            Target::atLeast(1e6, ">= 1 M lines/s")};
}

Workload portLog() {
    return {"io on, OUT DX,AL loop (a line per write in iow.txt)",
            [](const Bench& b) {
                verifySteps(b, "portlog.bin", 1, portLogSteps(1));
                ScratchFolder folder;
                b.runVelkor(folder, b.loadGuest(folder, "portlog.bin", 2) + "io\ng\nq\n");
                expectCount("iow.txt lines", countLines(folder / "iow.txt"), portLogWrites(2));
            },
            [](const Bench& b) {
                ScratchFolder folder;
                const unsigned outer = b.sizes().portOuter;
                const Outcome run = b.runVelkor(folder, b.loadGuest(folder, "portlog.bin", outer) + "io\ng\nq\n");
                return static_cast<double>(portLogWrites(outer)) / run.seconds;
            },
            [](double v) { return thousandsPerSecond(v, "writes/s"); },
            Target::atLeast(300e3, ">= 300 k writes/s")};
}

constexpr const char* kSerialCapture = "cap.s98";

// serial.bin's commands: g (with the history on and hw for the checked run), inside v cap.s98 ... v
// when the capture is on.
std::string serialCommands(bool capture, bool checked) {
    const std::string run = checked ? "h\ng\nhw\n" : "g\n";
    return capture ? "v " + std::string(kSerialCapture) + "\n" + run + "v\nq\n" : run + "q\n";
}

// Register writes forwarded over the serial link to velkor-device; the device's own count of the
// messages it received must match. The checked run also counts the steps and, with the capture on,
// the writes the capture recorded.
double serialRate(const Bench& bench, unsigned outer, bool capture, bool checked) {
    ScratchFolder folder;
    DeviceProcess device(bench, folder);
    const std::string script = bench.loadGuest(folder, "serial.bin", outer) + serialCommands(capture, checked);
    const Outcome run = bench.runVelkor(folder, script, checked ? "console.txt" : "", device.port());
    expectCount("messages at velkor-device", device.finish(), serialMessages(outer));
    if (checked) expectCount("serial.bin steps", Bench::historyCount(folder), serialSteps(outer));
    if (checked && capture) {
        const CaptureSummary summary = captureSummary(folder, kSerialCapture);
        expectCount("A0 writes in the capture", summary.writesA0, serialMessages(outer));
        expectCount("A1 writes in the capture", summary.writesA1, 0);
    }
    return static_cast<double>(serialMessages(outer)) / run.seconds;
}

std::string messageRate(double v) { return thousandsPerSecond(v, "msgs/s"); }

Workload serialLink() {
    return {"register messages over the serial link into velkor-device",
            [](const Bench& b) { serialRate(b, 1, false, true); },
            [](const Bench& b) { return serialRate(b, b.sizes().serialOuter, false, false); },
            messageRate,
            Target::atLeast(100e3, ">= 100 k msgs/s")};
}

// The same session with velkor's own capture recording every message as well (v cap.s98 before g,
// v after it): the capture must cost at most a fifth of the rate.
Workload serialLinkCapture(double withoutCapture) {
    return {"register messages over the serial link, capture on (v cap.s98 before g)",
            [](const Bench& b) { serialRate(b, 1, true, true); },
            [](const Bench& b) { return serialRate(b, b.sizes().serialOuter, true, false); },
            [withoutCapture](double v) { return withShare(messageRate(v), v, withoutCapture); },
            shareOfLineAbove(withoutCapture, 0.8, messageRate)};
}

Workload waitPacing(unsigned ticks) {
    const double expected = ticks * kWaitMs / 1000.0;
    const std::string name = std::to_string(ticks) + " WAITs at wait 5, 20,000 instructions apart";
    return {name,
            [](const Bench& b) { verifySteps(b, "wait.bin", 1, waitSteps(1), "wait 0\n"); },
            [ticks](const Bench& b) {
                ScratchFolder folder;
                return b.runVelkor(folder, b.loadGuest(folder, "wait.bin", ticks) + "wait 5\ng\nq\n").seconds;
            },
            [](double v) { return format("%.3f s", v); },
            Target::within(expected, kWaitTolerance, format("%.3f s ± 0.5 %%", expected))};
}

// The demo driver rendered into a capture as fast as velkor runs: with wait 0 no WAIT sleeps, while
// the capture still times every write by the guest's ticks (v demo.s98 5). The figure is the music's
// length over the whole process's time, start-up included. A run lasts milliseconds, so it takes as
// many samples as the start-up does.
constexpr const char* kDemoCapture = "demo.s98";

std::string demoRenderScript(const Bench& bench, const ScratchFolder& folder) {
    return bench.loadDemo(folder) + "wait 0\nv " + kDemoCapture + " " + std::to_string(kDemoTickMs) + "\ng\nv\nq\n";
}

Workload demoRender(int samples) {
    return {"demo driver at wait 0 into a capture (v demo.s98 5): 1600 ticks, 8 s of music",
            [](const Bench& b) {
                ScratchFolder folder;
                b.runVelkor(folder, demoRenderScript(b, folder), "console.txt");
                const CaptureSummary summary = captureSummary(folder, kDemoCapture);
                expectCount("demo.s98 ticks", summary.ticks, kDemoTicks);
                if (summary.writesA0 == 0 || summary.writesA1 == 0) {
                    throw BenchError("demo.s98 lacks the writes of one bank");
                }
            },
            [](const Bench& b) {
                ScratchFolder folder;
                return kDemoSeconds / b.runVelkor(folder, demoRenderScript(b, folder)).seconds;
            },
            [](double v) {
                return format("%.0f × real time", v) + format(" (%.2f ms a run)", 1000 * kDemoSeconds / v);
            },
            Target::atLeast(1, ">= 1 × real time"),
            samples};
}

// velkor-render on the capture the line above makes (demo.s98: 8 s of music), to a 44100 Hz WAV
// file: the music's length over the whole process's time. The capture is made before the clock
// starts; the check confirms the WAV file's length (44 header bytes and 4 bytes a frame).
constexpr uint64_t kDemoWavBytes = 44 + 352800 * 4;

Workload renderDemoCapture(int samples) {
    auto capture = [](const Bench& b, const ScratchFolder& folder) {
        b.runVelkor(folder, demoRenderScript(b, folder), "console.txt");
        return std::vector<std::string>{b.options().render, kDemoCapture, "demo.wav"};
    };
    return {"velkor-render demo.s98 demo.wav (the demo's capture, 8 s of music, 44100 Hz)",
            [capture](const Bench& b) {
                ScratchFolder folder;
                b.runProgram(folder, capture(b, folder));
                std::error_code error;
                const uintmax_t size = fs::file_size(folder / "demo.wav", error);
                if (error || size != kDemoWavBytes) {
                    throw BenchError("demo.wav holds " + std::to_string(error ? 0 : size) + " bytes, expected " +
                                     std::to_string(kDemoWavBytes));
                }
            },
            [capture](const Bench& b) {
                ScratchFolder folder;
                return kDemoSeconds / b.runProgram(folder, capture(b, folder)).seconds;
            },
            [](double v) {
                return format("%.0f × real time", v) + format(" (%.1f ms a run)", 1000 * kDemoSeconds / v);
            },
            Target::atLeast(50, ">= 50 × real time"),
            samples};
}

// Coverage over every code offset: the session's peak memory.
Workload coverageMemory() {
    auto session = [](const Bench& b, ScratchFolder& folder) {
        return b.runVelkor(folder, "c\n" + b.loadGuest(folder, "cover.bin") + "g 100\ncs\nq\n", "console.txt");
    };
    return {"peak memory, coverage on over all 65,536 code offsets",
            [session](const Bench& b) {
                ScratchFolder folder;
                session(b, folder);
                const std::string console = readFile(folder / "console.txt");
                const std::string entries = "code coverage " + std::to_string(kCoverSteps) + "entry.";
                if (console.find(entries) == std::string::npos || console.find("ip:0100") == std::string::npos) {
                    throw BenchError("cover.bin did not cover every offset once");
                }
            },
            [session](const Bench& b) {
                ScratchFolder folder;
                return static_cast<double>(session(b, folder).maxRssKiB) / 1024;
            },
            [](double v) { return format("%.2f MiB", v); },
            Target::atMost(8, "<= 8 MiB")};
}

// Start-up without a device: from the fork to the first ">" on velkor's standard output.
double startupMs(const Bench& bench) {
    ScratchFolder folder;
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) throw BenchError("pipe failed");
    Launch launch;
    launch.argv = {bench.options().velkor};
    launch.folder = folder.path();
    const std::string noPort = (folder / "no-port").string();
    launch.environment = {{"VELKOR_COM3", noPort}, {"VELKOR_COM4", noPort}};
    const double start = nowSeconds();
    const pid_t pid = spawn(launch, input[0], output[1]);
    close(input[0]);
    close(output[1]);
    double prompt = 0;
    char buffer[256];
    pollfd entry{output[0], POLLIN, 0};
    while (prompt == 0 && poll(&entry, 1, 5000) > 0) {
        const ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got <= 0) break;
        if (std::memchr(buffer, '>', static_cast<size_t>(got))) prompt = nowSeconds();
    }
    if (prompt == 0) kill(pid, SIGKILL);  // no prompt within 5 s: do not wait for it any longer
    const bool quit = write(input[1], "q\n", 2) == 2;
    close(input[1]);
    while (read(output[0], buffer, sizeof buffer) > 0) {
    }
    close(output[0]);
    const Outcome outcome = waitFor(pid, start, 10);
    if (prompt == 0 || !quit || outcome.status != 0) throw BenchError("no prompt, or velkor did not quit on q");
    return (prompt - start) * 1000;
}

// What starting any program costs here: fork, exec and exit of /bin/true, for reading the line above.
Workload processBaseline(int samples) {
    return {"process start baseline: fork, exec and exit of /bin/true",
            [](const Bench&) {},
            [](const Bench&) {
                ScratchFolder folder;
                Launch launch;
                launch.argv = {access("/bin/true", X_OK) == 0 ? "/bin/true" : "/usr/bin/true"};
                launch.folder = folder.path();
                const double start = nowSeconds();
                return waitFor(spawnWithFiles(launch), start, 10).seconds * 1000;
            },
            [](double v) { return format("%.2f ms", v); },
            Target{},
            samples};
}

Workload startup(int samples) {
    return {"start-up to the first prompt, no device",
            [](const Bench&) {},
            startupMs,
            [](double v) { return format("%.2f ms", v); },
            Target::atMost(5, "<= 5 ms"),
            samples};
}

// u over the decode stretch: u 100 and seven plain u list its 64 instructions, 8 decode-only steps each.
std::string listingScript(int passes) {
    std::string script;
    for (int pass = 0; pass < passes; ++pass) {
        script += "u 100\n";
        for (int i = 1; i < kListingsPerStretch; ++i) script += "u\n";
    }
    return script;
}

Workload unassemble() {
    return {"u, decode-only steps through the monitor",
            [](const Bench& b) {
                ScratchFolder folder;
                b.runVelkor(folder, b.loadGuest(folder, "decode.bin") + listingScript(1) + "u\nq\n", "console.txt");
                const std::string console = readFile(folder / "console.txt");
                if (console.find(kAfterStretch) == std::string::npos) {
                    throw BenchError("decode.bin: eight listings do not end where the stretch ends");
                }
            },
            [](const Bench& b) {
                ScratchFolder folder;
                const int passes = b.sizes().stretchPasses;
                const std::string script = b.loadGuest(folder, "decode.bin") + listingScript(passes) + "q\n";
                const Outcome run = b.runVelkor(folder, script);
                return static_cast<double>(passes) * kListingsPerStretch * kInstructionsPerListing / run.seconds;
            },
            [](double v) { return millionsPerSecond(v, "steps/s"); },
            Target::atLeast(5e6, ">= 5 M steps/s")};
}

// ---- The micro benchmarks ----------------------------------------------------------------------

// One benchmark's figures from Google Benchmark's JSON report (one "key": value per line).
struct MicroFigures {
    double itemsPerSecond = 0;
    double bytesPerSecond = 0;
    std::string error;
};

std::string jsonValue(const std::string& line, const char* key) {
    const std::string quotedKey = std::string("\"") + key + "\": ";
    const auto at = line.find(quotedKey);
    if (at == std::string::npos) return {};
    std::string value = line.substr(at + quotedKey.size());
    while (!value.empty() && (value.back() == ',' || value.back() == '\r')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

// The medians by run name: the "median" aggregate when there were repetitions, else the one run.
std::map<std::string, MicroFigures> parseMicroReport(const std::string& report) {
    std::map<std::string, MicroFigures> medians;
    std::map<std::string, std::string> fields;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        for (const char* key : {"run_name", "run_type", "aggregate_name", "items_per_second", "bytes_per_second",
                                "error_message"}) {
            const std::string value = jsonValue(line, key);
            if (!value.empty()) fields[key] = value;
        }
        if (line.find('}') == std::string::npos) continue;
        const bool median = fields["run_type"] == "aggregate" && fields["aggregate_name"] == "median";
        const bool single = fields["run_type"] == "iteration" && !medians.count(fields["run_name"]);
        if (!fields["run_name"].empty() && (median || single)) {
            MicroFigures& figures = medians[fields["run_name"]];
            figures.itemsPerSecond = std::atof(fields["items_per_second"].c_str());
            figures.bytesPerSecond = std::atof(fields["bytes_per_second"].c_str());
            figures.error = fields["error_message"];
        }
        fields.clear();
    }
    return medians;
}

std::map<std::string, MicroFigures> runMicroBench(const Bench& bench) {
    ScratchFolder folder;
    Launch launch;
    launch.argv = {bench.options().microBench, "--benchmark_format=json"};
    if (bench.options().quick) launch.argv.push_back("--benchmark_min_time=0.02");
    if (bench.options().runs > 1) {
        launch.argv.push_back("--benchmark_repetitions=" + std::to_string(bench.options().runs));
        launch.argv.push_back("--benchmark_report_aggregates_only=true");
    }
    launch.folder = folder.path();
    launch.output = (folder / "report.json").string();
    std::fprintf(stderr, "velkor-bench: micro benchmarks (%s)\n", bench.options().microBench.c_str());
    const Outcome outcome = waitFor(spawnWithFiles(launch), nowSeconds(), 1200);
    if (outcome.status != 0) throw BenchError(outcome.failure("velkor-micro-bench"));
    return parseMicroReport(readFile(folder / "report.json"));
}

struct MicroRow {
    const char* workload;
    const char* runName;
    bool bytes;              // bytes per second, else items per second
    const char* unit;
    const char* slowerThan;  // reported as how many times this run is faster, or nullptr
    double minimum;          // the target (in bytes or items per second), or 0 for none
    double realTime;         // items a second of audio has: the figure is then shown as × real time
};

constexpr const char* kStepPlain = "BM_StepMixed/text:0/coverage:0";

constexpr double kChipRate = 7987200.0 / 144;
constexpr double kRealTimeTarget = 50;  // velkor-render's chip renders at least 50 × real time

constexpr MicroRow kMicroRows[] = {
    {"micro: step, mixed workload, text off", kStepPlain, false, "steps/s", nullptr, 0, 0},
    {"micro: step, mixed workload, text formatted on every step", "BM_StepMixed/text:1/coverage:0", false,
     "steps/s", kStepPlain, 0, 0},
    {"micro: step, mixed workload, coverage on", "BM_StepMixed/text:0/coverage:1", false, "steps/s", nullptr, 0, 0},
    {"micro: decode-only step, varied code", "BM_DecodeOnly", false, "steps/s", nullptr, 0, 0},
    {"micro: REP MOVSB, 64 KiB", "BM_RepMovsb/overlap:0", true, "B/s", nullptr, 1e9, 0},
    {"micro: REP MOVSB, 64 KiB, overlapping fill (DI = SI + 1)", "BM_RepMovsb/overlap:1", true, "B/s", nullptr, 1e9, 0},
    {"micro: REP STOSB, 64 KiB", "BM_RepStosb", true, "B/s", nullptr, 1e9, 0},
    {"micro: portWrite with the port log on", "BM_PortWriteLogged", false, "writes/s", nullptr, 0, 0},
    {"micro: software YM2608 resampled to 44100 Hz (ChipRenderer), 6 FM + 3 SSG + ADPCM + rhythm sounding, one core",
     "BM_RenderEverything/rate:44100", false, "frames/s", nullptr, kRealTimeTarget * 44100, 44100},
    {"micro: the same at 48000 Hz", "BM_RenderEverything/rate:48000", false, "frames/s", nullptr, 0, 48000},
    {"micro: software YM2608 alone at its rate (55466.67 Hz), everything sounding", "BM_Ym2608Everything", false,
     "frames/s", nullptr, 0, kChipRate},
    {"micro: the resampler alone, 55466.67 Hz to 44100 Hz", "BM_Resample44100", false, "frames/s", nullptr, 0, 44100},
};

bool anyMicroRowSelected(const Bench& bench) {
    return std::any_of(std::begin(kMicroRows), std::end(kMicroRows),
                       [&](const MicroRow& row) { return bench.selected(row.workload); });
}

void addMicroRows(const Bench& bench, Table& table) {
    std::map<std::string, MicroFigures> figures;
    try {
        figures = runMicroBench(bench);
    } catch (const std::exception& error) {
        table.addError("micro benchmarks", error.what(), Target{});
        return;
    }
    auto rate = [&](const MicroRow& row, const std::string& name) {
        const MicroFigures& f = figures[name];
        return row.bytes ? f.bytesPerSecond : f.itemsPerSecond;
    };
    for (const MicroRow& row : kMicroRows) {
        if (!bench.selected(row.workload)) continue;
        const MicroFigures& f = figures[row.runName];
        const double value = rate(row, row.runName);
        if (!f.error.empty() || value <= 0) {
            table.addError(row.workload, f.error.empty() ? "no figure" : f.error, Target{});
            continue;
        }
        std::string figure =
            row.bytes ? threeDigits(value / 1e9) + " G" + row.unit : millionsPerSecond(value, row.unit);
        Target target;
        if (row.minimum > 0) target = Target::atLeast(row.minimum, ">= 1 GB/s");
        if (row.realTime > 0) {
            figure = format("%.0f × real time", value / row.realTime) + " (" + figure + ")";
            if (row.minimum > 0) {
                target = Target::atLeast(row.minimum, format(">= %.0f × real time", row.minimum / row.realTime));
            }
        }
        if (row.slowerThan && rate(row, row.slowerThan) > 0) {
            figure += " (text off is " + format("%.1f", rate(row, row.slowerThan) / value) + " × as fast)";
            target.text = "reported (expect text off >= 10 × as fast)";
        }
        table.add({row.workload, figure, target.text, target.verdict(value)});
    }
}

// ---- The machine -------------------------------------------------------------------------------

std::string machineDescription() {
    std::string model = "unknown processor";
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    const double memory = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
    return std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + model + ", " +
           format("%.1f GiB", memory / (1024.0 * 1024 * 1024));
}

bool checkPrograms(const Options& options) {
    bool good = true;
    for (const auto& [what, path] : {std::pair{"velkor", options.velkor}, std::pair{"velkor-device", options.device},
                                     std::pair{"velkor-render", options.render}}) {
        if (path.empty() || access(path.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "velkor-bench: %s not found at '%s'\n", what, path.c_str());
            good = false;
        }
    }
    if (!options.baseline.empty() && access(options.baseline.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "velkor-bench: baseline velkor not found at '%s'\n", options.baseline.c_str());
        good = false;
    }
    if (!fs::is_regular_file(fs::path(options.guests) / "mixed.bin")) {
        std::fprintf(stderr, "velkor-bench: no guest images in '%s'\n", options.guests.c_str());
        good = false;
    }
    return good;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!checkPrograms(options)) return 2;
    signal(SIGPIPE, SIG_IGN);
    signal(SIGALRM, killWatchedChild);

    const Bench bench(options);
    Table table;
    const double mixed = runWorkload(bench, goMixed(), table);
    const double mixedCoverage = runWorkload(bench, goMixedCoverage(mixed), table);
    runWorkload(bench, goMixedExact(mixed, false), table);
    runWorkload(bench, goMixedExact(mixedCoverage, true), table);
    for (const GuestLoop& loop : kGuestLoops) {
        runWorkload(bench, goLoop(loop, false), table);
        runWorkload(bench, goLoop(loop, true), table);
    }
    runWorkload(bench, traceSimple(), table);
    runWorkload(bench, portLog(), table);
    const double serial = runWorkload(bench, serialLink(), table);
    runWorkload(bench, serialLinkCapture(serial), table);
    runWorkload(bench, waitPacing(bench.sizes().ticks), table);
    runWorkload(bench, demoRender(bench.sizes().startupSamples), table);
    runWorkload(bench, renderDemoCapture(bench.options().quick ? 1 : 5), table);
    runWorkload(bench, coverageMemory(), table);
    runWorkload(bench, startup(bench.sizes().startupSamples), table);
    runWorkload(bench, processBaseline(bench.sizes().startupSamples), table);
    runWorkload(bench, unassemble(), table);
    const bool micro = options.micro && !options.microBench.empty() && anyMicroRowSelected(bench);
    if (micro) addMicroRows(bench, table);

    const std::string mode = options.quick ? "quick mode: one short run each, figures are indicative only"
                                           : std::to_string(options.runs) + " runs each, medians";
    const std::string baseline = bench.hasBaseline() ? "; baseline " + options.baseline : "";
    std::printf("\nvelkor-bench: %s; %s%s\n\n", machineDescription().c_str(), mode.c_str(), baseline.c_str());
    table.print();
    std::printf("\n%d target%s missed, %d failure%s%s\n", table.missed(), table.missed() == 1 ? "" : "s",
                table.errors(), table.errors() == 1 ? "" : "s", micro ? "" : "; micro benchmarks not run");
    if (table.errors() > 0) return 1;
    return options.strict && table.missed() > 0 ? 1 : 0;
}
