// Micro benchmarks of the emulator core, linked against the real library: step throughput on the
// mixed workload (with and without instruction texts, with and without coverage), decode-only
// stepping over varied code, REP MOVSB / REP STOSB over a 64 KiB block and the logged port write;
// and the software YM2608 behind velkor-render with every part sounding, alone, resampled, and the
// resampler alone.
// The guest code comes from the images in bench/guests, the same ones the whole-program runner uses.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "core/cpu.h"
#include "core/memory.h"
#include "exec/step.h"
#include "host/opna_board.h"
#include "host/serial_link.h"
#include "host/tick_hook.h"
#include "synth/chip_renderer.h"
#include "synth/resampler.h"
#include "synth/ym2608.h"

#ifndef VELKOR_BENCH_GUESTS
#error "VELKOR_BENCH_GUESTS must name the folder of the guest images"
#endif

namespace {

constexpr uint16_t kCodeStart = 0x0100;
constexpr uint16_t kRepeatCountOffset = 0x0102;  // where every bench guest keeps its repeat count
constexpr int kStepsPerBatch = 1024;             // steps per timed iteration: keeps the loop overhead out
constexpr uint16_t kBlockBytes = 0xFFFF;         // the largest count a REP takes: 64 KiB less one byte

// A machine in the program's start-up state (CS = DS = ES = SS = 0, IP = 0100, SP = FFF8) with its
// own sound board, closed serial link and a tick hook that never sleeps.
struct BenchMachine {
    SerialLink link;
    OpnaBoard board{link};
    TickHook tick;
    Cpu cpu;

    BenchMachine() {
        resetCpu(cpu);
        restart();
        cpu.board = &board;
        cpu.tick = &tick;
        tick.waitMs = 0;
    }

    void restart() {
        cpu.cs = cpu.ds = cpu.es = cpu.ss = 0;
        cpu.ip = kCodeStart;
        cpu.sp = 0xFFF8;
        cpu.stopRequested = 0;
    }

    // Loads a guest image at linear 0, as the monitor's l does; returns its size (0 when missing).
    size_t load(const char* name) {
        std::ifstream file(std::string(VELKOR_BENCH_GUESTS) + "/" + name, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        uint32_t address = 0;
        for (char b : bytes) writeByteLinear(cpu, address++, static_cast<uint8_t>(b));
        return bytes.size();
    }

    void code(std::initializer_list<uint8_t> bytes) {
        uint32_t address = linearOf(cpu.cs, cpu.ip);
        for (uint8_t b : bytes) writeByteLinear(cpu, address++, b);
    }
};

// The mixed workload, made to run practically for ever: its repeat count set to the largest value.
// An INT3 at the end (after about a billion steps) starts it over.
void stepMixed(benchmark::State& state, uint8_t textWanted, uint8_t coverageOn) {
    BenchMachine m;
    if (m.load("mixed.bin") == 0) {
        state.SkipWithError("bench/guests/mixed.bin is missing");
        return;
    }
    writeWordLinear(m.cpu, kRepeatCountOffset, 0xFFFF);
    m.cpu.textWanted = textWanted;
    m.cpu.coverageOn = coverageOn;
    for (auto _ : state) {
        for (int i = 0; i < kStepsPerBatch; ++i) {
            step(m.cpu);
            if (m.cpu.stopRequested) m.restart();
        }
    }
    state.SetItemsProcessed(state.iterations() * kStepsPerBatch);
}

void BM_StepMixed(benchmark::State& state) {
    stepMixed(state, static_cast<uint8_t>(state.range(0)), static_cast<uint8_t>(state.range(1)));
}
BENCHMARK(BM_StepMixed)->ArgNames({"text", "coverage"})->Args({0, 0})->Args({1, 0})->Args({0, 1});

// Decode-only steps over the varied stretch of decode.bin (the image ends where the stretch ends),
// from its first instruction to its last and then from the first again.
void BM_DecodeOnly(benchmark::State& state) {
    BenchMachine m;
    const size_t end = m.load("decode.bin");
    if (end <= kCodeStart) {
        state.SkipWithError("bench/guests/decode.bin is missing");
        return;
    }
    m.cpu.decodeOnly = 1;
    int64_t decoded = 0;
    for (auto _ : state) {
        m.cpu.ip = kCodeStart;
        while (m.cpu.ip < end) {
            step(m.cpu);
            ++decoded;
        }
    }
    state.SetItemsProcessed(decoded);
}
BENCHMARK(BM_DecodeOnly);

// REP MOVSB of 64 KiB from 1000:0000 to 2000:0000, or, with overlap, the fill idiom in one
// segment: DI = SI + 1 copies each byte onto the next, spreading the first byte over the block.
void BM_RepMovsb(benchmark::State& state) {
    const bool overlapping = state.range(0) != 0;
    BenchMachine m;
    m.cpu.textWanted = 0;
    m.code({0xF3, 0xA4});  // rep movsb
    for (auto _ : state) {
        m.cpu.ip = kCodeStart;
        m.cpu.cx = kBlockBytes;
        m.cpu.ds = 0x1000;
        m.cpu.es = overlapping ? 0x1000 : 0x2000;
        m.cpu.si = 0;
        m.cpu.di = overlapping ? 1 : 0;
        step(m.cpu);
    }
    state.SetBytesProcessed(state.iterations() * kBlockBytes);
}
BENCHMARK(BM_RepMovsb)->ArgName("overlap")->Arg(0)->Arg(1);

void BM_RepStosb(benchmark::State& state) {
    BenchMachine m;
    m.cpu.textWanted = 0;
    m.code({0xF3, 0xAA});  // rep stosb
    m.cpu.ax = 0x5A;
    for (auto _ : state) {
        m.cpu.ip = kCodeStart;
        m.cpu.cx = kBlockBytes;
        m.cpu.es = 0x2000;
        m.cpu.di = 0;
        step(m.cpu);
    }
    state.SetBytesProcessed(state.iterations() * kBlockBytes);
}
BENCHMARK(BM_RepStosb);

// portWrite with the port log on: one "iow.txt" line per write, in a scratch folder that is
// removed afterwards.
void BM_PortWriteLogged(benchmark::State& state) {
    std::error_code error;
    const auto home = std::filesystem::current_path();
    char folder[] = "/tmp/velkor-micro-bench.XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("cannot create a scratch folder for iow.txt");
        return;
    }
    std::filesystem::current_path(folder);
    {
        SerialLink link;
        OpnaBoard board{link};
        board.setIoLog(true);
        uint8_t value = 0;
        for (auto _ : state) board.portWrite(0x188, value++);
        board.setIoLog(false);
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::current_path(home);
    std::filesystem::remove_all(folder, error);
}
BENCHMARK(BM_PortWriteLogged);

// ---- The software YM2608 behind velkor-render ---------------------------------------------------

// Writes that set every part of the chip sounding at once: the six FM channels (algorithm 7, every
// operator a carrier at full level, keyed on), the three SSG tones with noise, the ADPCM-B playing
// a 1 KiB sample on repeat (written to its memory through the data port first), and the six rhythm
// instruments.
template <typename Chip>
void soundEverything(Chip& chip) {
    chip.write(0, 0x29, 0x80);  // channels 4-6 on
    for (int bank = 0; bank < 2; ++bank) {
        for (uint8_t channel = 0; channel < 3; ++channel) {
            for (uint8_t op = 0; op < 4; ++op) {
                const uint8_t slot = static_cast<uint8_t>(op * 4 + channel);
                chip.write(bank, 0x30 + slot, 0x01);  // detune 0, multiple 1
                chip.write(bank, 0x40 + slot, 0x00);  // total level 0: loudest
                chip.write(bank, 0x50 + slot, 0x1F);  // attack rate 31
                chip.write(bank, 0x60 + slot, 0x00);  // no decay
                chip.write(bank, 0x70 + slot, 0x00);
                chip.write(bank, 0x80 + slot, 0x0F);
            }
            chip.write(bank, 0xB0 + channel, 0x07);  // algorithm 7, no feedback
            chip.write(bank, 0xB4 + channel, 0xC0);  // both outputs
            chip.write(bank, 0xA4 + channel, static_cast<uint8_t>(0x20 + channel));
            chip.write(bank, 0xA0 + channel, 0x69);
        }
    }
    for (uint8_t key : {0x00, 0x01, 0x02, 0x04, 0x05, 0x06}) chip.write(0, 0x28, static_cast<uint8_t>(0xF0 | key));
    const uint8_t ssg[] = {0x8E, 0x00, 0x77, 0x00, 0x5F, 0x00, 0x10, 0x30, 0x0F, 0x0F, 0x0F};
    for (uint8_t reg = 0; reg < sizeof ssg; ++reg) chip.write(0, reg, ssg[reg]);  // tones, noise, mixer, levels
    // ADPCM-B: memory write mode over addresses 0-1023 (x8 RAM, 32-byte units), the data, then play.
    chip.write(1, 0x00, 0x01);
    chip.write(1, 0x00, 0x60);
    chip.write(1, 0x01, 0x02);
    chip.write(1, 0x02, 0x00);
    chip.write(1, 0x03, 0x00);
    chip.write(1, 0x04, 0x1F);
    chip.write(1, 0x05, 0x00);
    for (int i = 0; i < 1024; ++i) chip.write(1, 0x08, static_cast<uint8_t>(i & 1 ? 0x19 : 0x91));
    chip.write(1, 0x00, 0x00);
    chip.write(1, 0x01, 0xC2);  // both outputs, x8 RAM
    chip.write(1, 0x09, 0xBA);  // delta-N: about 16 kHz
    chip.write(1, 0x0A, 0x49);
    chip.write(1, 0x0B, 0xFF);  // level
    chip.write(1, 0x00, 0xB0);  // start, external memory, repeat
    chip.write(0, 0x11, 0x3F);  // rhythm total level
    for (uint8_t reg = 0x18; reg <= 0x1D; ++reg) chip.write(0, reg, 0xDF);
    chip.write(0, 0x10, 0x3F);  // all six instruments
}

// ChipRenderer (the chip and the resampler) with everything sounding, 0.1 s of audio an iteration;
// items are output frames, so items per second over the rate is the speed in real time.
void BM_RenderEverything(benchmark::State& state) {
    const uint32_t rate = static_cast<uint32_t>(state.range(0));
    synth::ChipRenderer renderer(synth::kYm2608Clock, rate);
    soundEverything(renderer);
    std::vector<float> out(2 * rate / 10);
    for (auto _ : state) {
        renderer.render(rate / 10, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * (rate / 10));
}
BENCHMARK(BM_RenderEverything)->ArgName("rate")->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);

// The chip alone at its own rate (clock / 144), everything sounding: items are chip frames.
void BM_Ym2608Everything(benchmark::State& state) {
    synth::Ym2608 chip;
    soundEverything(chip);
    constexpr size_t kFrames = 5547;  // 0.1 s at 55466.67 Hz
    std::vector<float> out(2 * kFrames);
    for (auto _ : state) {
        chip.generate(kFrames, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_Ym2608Everything)->Unit(benchmark::kMillisecond);

// The resampler alone, from the chip's rate to 44100 Hz: items are output frames.
void BM_Resample44100(benchmark::State& state) {
    synth::Resampler resampler(synth::kYm2608Clock, 144, 44100);
    std::vector<float> in(2 * 8192, 0.25f), out(2 * synth::Resampler::kMaxBlock);
    for (auto _ : state) {
        const size_t need = resampler.inputNeeded(synth::Resampler::kMaxBlock);
        resampler.process(in.data(), need, out.data(), synth::Resampler::kMaxBlock);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * synth::Resampler::kMaxBlock);
}
BENCHMARK(BM_Resample44100);

}  // namespace

BENCHMARK_MAIN();
