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

// One loop per combination of history, breakpoints and a step limit, so that the common run (none)
// tests only the stop address, the stop request and the break flag per instruction.
template <class M, bool recordHistory, bool checkBreakpoints, bool limited>
RunEnd stepLoop(Cpu& cpu, uint32_t stopAddress, uint64_t stepLimit) {
    for (uint64_t steps = 1;; ++steps) {
        if (recordHistory) cpu.IpHistory.push_back(cpu.ip);
        stepInline<M>(cpu);
        const uint32_t address = linearOf(cpu.cs, cpu.ip);
        if (address == stopAddress) return RunEnd::stopAddress;
        if (cpu.stopRequested) return RunEnd::stopRequest;
        if (checkBreakpoints && enabledBreakpointAt(cpu, address)) return RunEnd::breakpoint;
        if (recordHistory && cpu.IpHistory.size() > kHistoryLimit) return RunEnd::historyFull;
        if (platform::breakRequested()) return RunEnd::breakKey;
        if (limited && steps == stepLimit) return RunEnd::stepLimit;
    }
}

// The same loop over decoded blocks, for plain runs. IP and the CS base stay in host registers
// (each handler returns the next IP); cpu.ip is brought up to date for the step and when the run
// ends. The stop conditions are those of the step loop, tested after every instruction in the same
// order; an instruction whose bytes have changed since it was decoded ends its block there, and is
// decoded afresh as the start of the next one.
template <class M, bool recordHistory, bool checkBreakpoints, bool limited>
RunEnd fastLoop(Cpu& cpu, uint32_t stopAddress, uint64_t stepLimit) {
    static_assert(!recordHistory, "a run with history goes through the step");
    DecodeCache& cache = *cpu.decodeCache;
    const uint8_t* const image = cpu.memory.get();
    uint16_t ip = cpu.ip;
    uint32_t csBase = linearOf(cpu.cs, 0);
    uint64_t steps = 0;
    // After each instruction: the stop conditions; true when the run ends here. Inside a block
    // (`everyCondition` false) only the break flag and the step limit can end the run: no decoded
    // instruction requests a stop, and the stop address and breakpoints are tested per instruction
    // only in a block that holds them (with breakpoints set, every block is taken as holding one).
    const auto ends = [&](bool everyCondition, RunEnd& why) {
        ++steps;
        const uint32_t address = csBase + ip;
        if (everyCondition && address == stopAddress) why = RunEnd::stopAddress;
        else if (everyCondition && cpu.stopRequested) why = RunEnd::stopRequest;
        else if (everyCondition && checkBreakpoints && enabledBreakpointAt(cpu, address)) why = RunEnd::breakpoint;
        else if (platform::breakRequested()) why = RunEnd::breakKey;
        else if (limited && steps == stepLimit) why = RunEnd::stepLimit;
        else return false;
        cpu.ip = ip;
        settleFlags<M>(cpu);
        return true;
    };
    for (RunEnd why;;) {
        const uint32_t at = csBase + ip;
        unsigned ran = 0;
        if (at <= kLastWindowStart) [[likely]] {
            DecodedBlock& block = cache.blockFor(at);
            if (block.linear != at) [[unlikely]] decodeBlock<M>(block, image, at);
            // The last instruction's window must end inside the segment (no IP wrap within it).
            if (ip + block.span <= 0x10000 - kWindowBytes) [[likely]] {
                const uint16_t start = ip;
                const bool checkEach = checkBreakpoints || stopAddress - at - 1 < block.span;
                const DecodedInstruction* d = block.instructions;
                for (const DecodedInstruction* last = d + block.count - 1; d <= last; ++d, ++ran) {
                    if (!stillHolds(image, at + d->offset, *d)) [[unlikely]] {
                        block.linear = ~0u;
                        break;
                    }
                    ip = d->handler(cpu, *d, static_cast<uint16_t>(start + d->next));
                    if (ends(d == last || checkEach, why)) return why;
                }
            }
        }
        if (ran == 0) {
            cpu.ip = ip;
            settleFlags<M>(cpu);
            stepInline<M>(cpu);
            ip = cpu.ip;
            csBase = linearOf(cpu.cs, 0);
            if (ends(true, why)) return why;
        }
    }
}

template <class M, bool recordHistory, bool checkBreakpoints, bool limited>
struct StepLoop {
    static RunEnd run(Cpu& cpu, uint32_t stop, uint64_t limit) {
        return stepLoop<M, recordHistory, checkBreakpoints, limited>(cpu, stop, limit);
    }
};

template <class M, bool recordHistory, bool checkBreakpoints, bool limited>
struct FastLoop {
    static RunEnd run(Cpu& cpu, uint32_t stop, uint64_t limit) {
        return fastLoop<M, recordHistory, checkBreakpoints, limited>(cpu, stop, limit);
    }
};

// Picks the loop for the run's stop conditions. The breakpoints cannot change during a run.
template <template <class, bool, bool, bool> class Loop, class M, bool recordHistory>
RunEnd runWith(Cpu& cpu, const RunStops& stops) {
    const bool breakpoints = !cpu.BreakpointTable.empty();
    const uint32_t stop = stops.stopAddress;
    if (stops.stepLimit != 0) {
        return breakpoints ? Loop<M, recordHistory, true, true>::run(cpu, stop, stops.stepLimit)
                           : Loop<M, recordHistory, false, true>::run(cpu, stop, stops.stepLimit);
    }
    return breakpoints ? Loop<M, recordHistory, true, false>::run(cpu, stop, 0)
                       : Loop<M, recordHistory, false, false>::run(cpu, stop, 0);
}

// The decoded instructions of the cpu's mode (made, or remade for another mode, as needed).
void prepareDecodeCache(Cpu& cpu) {
    if (cpu.decodeCache && cpu.decodeCache->mode == cpu.mode) return;
    cpu.decodeCache = std::make_unique<DecodeCache>(cpu.mode);
}

// The decoded instructions serve plain runs. With coverage or history on, or texts wanted, every
// instruction goes through the step, which records and formats them.
bool decodedRunPossible(const Cpu& cpu) {
    return cpu.coverageOn == 0 && cpu.textWanted == 0 && cpu.decodeOnly == 0;
}

template <class M>
RunEnd runIn(Cpu& cpu, const RunStops& stops) {
    if (stops.recordHistory) return runWith<StepLoop, M, true>(cpu, stops);
    if (!decodedRunPossible(cpu)) return runWith<StepLoop, M, false>(cpu, stops);
    prepareDecodeCache(cpu);
    return runWith<FastLoop, M, false>(cpu, stops);
}

}  // namespace

RunEnd runUntil(Cpu& cpu, const RunStops& stops) {
    return cpu.mode == CpuMode::exact ? runIn<ExactMode>(cpu, stops) : runIn<StandardMode>(cpu, stops);
}
