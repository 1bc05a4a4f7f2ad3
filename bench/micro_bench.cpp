// Micro benchmarks of the emulator core, linked against the real library: step throughput on the
// mixed workload (with and without instruction texts, with and without coverage), decode-only
// stepping over varied code, REP MOVSB / REP STOSB over a 64 KiB block and the logged port write.
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

}  // namespace

BENCHMARK_MAIN();
