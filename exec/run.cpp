#include "exec/run.h"

#include "core/decode_cache.h"
#include "core/lazy_flags.h"
#include "core/memory.h"
#include "exec/fast_decode.h"
#include "exec/step.h"
#include "platform/platform.h"

namespace {

bool enabledBreakpointAt(const Cpu& cpu, uint32_t address) {
    const auto entry = cpu.BreakpointTable.find(address);
    return entry != cpu.BreakpointTable.end() && entry->second != 0;
}

// How each loop executes one instruction: the step itself, or the decoded instruction when there
// is one for the bytes at CS:IP (the step otherwise, with the flags settled first).
template <class M>
struct Stepping {
    static void run(Cpu& cpu, DecodeCache*) { stepInline<M>(cpu); }
};

template <class M>
struct FastStepping {
    [[gnu::always_inline]] static void run(Cpu& cpu, DecodeCache* cache) {
        const uint32_t at = linearOf(cpu.cs, cpu.ip);
        // The window must lie inside the image and inside the segment (no IP wrap within it).
        if (at <= kLastWindowStart && cpu.ip <= 0x10000 - kWindowBytes) [[likely]] {
            DecodedInstruction& d = cache->entryFor(at);
            const uint64_t window = windowAt(cpu, at);
            if (d.linear != at || (window & d.mask) != d.bytes) [[unlikely]] {
                decodeInstruction<M>(d, cpu.memory.get() + at, at, window);
            }
            if (d.handler) [[likely]] {
                cpu.ip = static_cast<uint16_t>(cpu.ip + d.length);
                d.handler(cpu, d);
                return;
            }
        }
        settleFlags<M>(cpu);
        stepInline<M>(cpu);
    }
};

// One loop per combination of history, breakpoints and a step limit, so that the common run (none)
// tests only the stop address, the stop request and the break flag per instruction.
template <class Step, bool recordHistory, bool checkBreakpoints, bool limited>
RunEnd runLoop(Cpu& cpu, DecodeCache* cache, uint32_t stopAddress, uint64_t stepLimit) {
    for (uint64_t steps = 1;; ++steps) {
        if (recordHistory) cpu.IpHistory.push_back(cpu.ip);
        Step::run(cpu, cache);
        const uint32_t address = linearOf(cpu.cs, cpu.ip);
        if (address == stopAddress) return RunEnd::stopAddress;
        if (cpu.stopRequested) return RunEnd::stopRequest;
        if (checkBreakpoints && enabledBreakpointAt(cpu, address)) return RunEnd::breakpoint;
        if (recordHistory && cpu.IpHistory.size() > kHistoryLimit) return RunEnd::historyFull;
        if (platform::breakRequested()) return RunEnd::breakKey;
        if (limited && steps == stepLimit) return RunEnd::stepLimit;
    }
}

// Picks the loop for the run's stop conditions.
template <class Step, bool recordHistory, bool checkBreakpoints>
RunEnd runWith(Cpu& cpu, DecodeCache* cache, const RunStops& stops) {
    return stops.stepLimit != 0
               ? runLoop<Step, recordHistory, checkBreakpoints, true>(cpu, cache, stops.stopAddress, stops.stepLimit)
               : runLoop<Step, recordHistory, checkBreakpoints, false>(cpu, cache, stops.stopAddress, 0);
}

template <class Step, bool recordHistory>
RunEnd runWithHistory(Cpu& cpu, DecodeCache* cache, const RunStops& stops) {
    // The breakpoints cannot change during a run.
    return cpu.BreakpointTable.empty() ? runWith<Step, recordHistory, false>(cpu, cache, stops)
                                       : runWith<Step, recordHistory, true>(cpu, cache, stops);
}

// The decoded instructions of the cpu's mode (made, or remade for another mode, as needed).
DecodeCache& decodeCacheOf(Cpu& cpu) {
    if (!cpu.decodeCache || cpu.decodeCache->mode != cpu.mode) cpu.decodeCache = std::make_unique<DecodeCache>(cpu.mode);
    return *cpu.decodeCache;
}

// The decoded instructions serve plain runs. With coverage or history on, or texts wanted, every
// instruction goes through the step, which records and formats them.
bool fastRunPossible(const Cpu& cpu, const RunStops& stops) {
    return !stops.recordHistory && cpu.coverageOn == 0 && cpu.textWanted == 0 && cpu.decodeOnly == 0;
}

template <class M>
RunEnd runIn(Cpu& cpu, const RunStops& stops) {
    if (stops.recordHistory) return runWithHistory<Stepping<M>, true>(cpu, nullptr, stops);
    if (!fastRunPossible(cpu, stops)) return runWithHistory<Stepping<M>, false>(cpu, nullptr, stops);
    const RunEnd end = runWithHistory<FastStepping<M>, false>(cpu, &decodeCacheOf(cpu), stops);
    settleFlags<M>(cpu);
    return end;
}

}  // namespace

RunEnd runUntil(Cpu& cpu, const RunStops& stops) {
    return cpu.mode == CpuMode::exact ? runIn<ExactMode>(cpu, stops) : runIn<StandardMode>(cpu, stops);
}
