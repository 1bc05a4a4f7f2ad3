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

// Runs a block's instructions from its first, with no test between them. Returns how many ran:
// fewer than the block holds when an instruction's bytes have changed since it was decoded (that
// one has not run, and the block is dropped, to be decoded afresh from there).
inline unsigned runThrough(Cpu& cpu, DecodedBlock& block, const uint8_t* image, uint32_t at, uint16_t& ip) {
    const uint16_t start = ip;
    const uint8_t* const code = image + at;
    const DecodedInstruction* const first = block.instructions;
    const DecodedInstruction* const end = first + block.count;
    for (const DecodedInstruction* d = first; d != end; ++d) {
        if (!stillHoldsIn(code, *d)) [[unlikely]] {
            block.linear = ~0u;
            return static_cast<unsigned>(d - first);
        }
        ip = d->handler(cpu, *d, static_cast<uint16_t>(start + d->next));
    }
    return block.count;
}

// The same loop over decoded blocks, for plain runs. IP and the CS base stay in host registers
// (each handler returns the next IP); cpu.ip is brought up to date for the step and when the run
// ends. The stop conditions are those of the step loop, in the same order. A block runs straight
// through when none of them can hold before its last instruction: no decoded instruction requests
// a stop, the stop address is not where one of its inner instructions ends, no breakpoint is set,
// and the step limit lies beyond it; otherwise they are tested after each of its instructions.
// Decoded instructions never change CS, so a block's linear address follows from IP alone.
// The break flag (Ctrl-C, which arrives at no particular instruction) is tested after each block.
// Kept out of its callers, so that the loop has the host registers to itself.
template <class M, bool recordHistory, bool checkBreakpoints, bool limited>
[[gnu::noinline]] RunEnd fastLoop(Cpu& cpu, uint32_t stopAddress, uint64_t stepLimit) {
    static_assert(!recordHistory, "a run with history goes through the step");
    // Loaded once: the compiler cannot see that no handler replaces the table.
    DecodedBlock* const blocks = cpu.decodeCache->blocks.get();
    const uint8_t* const image = cpu.memory.get();
    uint16_t ip = cpu.ip;
    uint32_t csBase = linearOf(cpu.cs, 0);
    uint64_t steps = 0;
    // After an instruction (the last of `ran` since the last test): whether the run ends there.
    const auto ends = [&](unsigned ran, RunEnd& why) {
        steps += ran;
        const uint32_t address = csBase + ip;
        if (address == stopAddress) why = RunEnd::stopAddress;
        else if (cpu.stopRequested) why = RunEnd::stopRequest;
        else if (checkBreakpoints && enabledBreakpointAt(cpu, address)) why = RunEnd::breakpoint;
        else if (platform::breakRequested()) why = RunEnd::breakKey;
        else if (limited && steps == stepLimit) why = RunEnd::stepLimit;
        else return false;
        cpu.ip = ip;
        settleFlags<M>(cpu);
        return true;
    };
    for (RunEnd why;;) {
        const uint32_t at = csBase + ip;
        DecodedBlock& block = blocks[DecodeCache::slotOf(at)];
        if (block.linear != at && at <= kLastWindowStart) [[unlikely]] decodeBlock<M>(block, image, at);
        if (block.linear == at && block.runsFrom(ip)) [[likely]] {
            const bool straightThrough = !checkBreakpoints && !block.mayEndInside(at, stopAddress) &&
                                         (!limited || stepLimit - steps >= block.count);
            const uint16_t start = ip;
            if (straightThrough) {
                unsigned ran = runThrough(cpu, block, image, at, ip);
                // A block that jumps back to its own start (a tight loop) runs again at once. When
                // its start is not the stop address and no stop is requested (which only the step
                // can change), only the break flag and the step limit are tested there.
                if (ran == block.count && ip == start && at != stopAddress && !cpu.stopRequested) {
                    while (!platform::breakRequested() && (!limited || stepLimit - steps - ran >= block.count)) {
                        steps += ran;
                        ran = runThrough(cpu, block, image, at, ip);
                        if (ran != block.count || ip != start) break;
                    }
                }
                if (ran == block.count) {
                    if (ends(ran, why)) return why;
                    continue;
                }
                steps += ran;
                if (ran != 0) continue;
            } else {
                const DecodedInstruction* d = block.instructions;
                const DecodedInstruction* const end = d + block.count;
                for (; d != end && stillHoldsIn(image + at, *d); ++d) {
                    ip = d->handler(cpu, *d, static_cast<uint16_t>(start + d->next));
                    if (ends(1, why)) return why;
                }
                if (d == end) continue;
                block.linear = ~0u;
                if (d != block.instructions) continue;
            }
        }
        cpu.ip = ip;
        settleFlags<M>(cpu);
        stepInline<M>(cpu);
        ip = cpu.ip;
        csBase = linearOf(cpu.cs, 0);
        if (ends(1, why)) return why;
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
