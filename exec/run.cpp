#include "exec/run.h"

#include "core/memory.h"
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
RunEnd runLoop(Cpu& cpu, uint32_t stopAddress, uint64_t stepLimit) {
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

// Picks the loop for the run's stop conditions.
template <class M, bool recordHistory, bool checkBreakpoints>
RunEnd runWith(Cpu& cpu, const RunStops& stops) {
    return stops.stepLimit != 0
               ? runLoop<M, recordHistory, checkBreakpoints, true>(cpu, stops.stopAddress, stops.stepLimit)
               : runLoop<M, recordHistory, checkBreakpoints, false>(cpu, stops.stopAddress, 0);
}

template <class M>
RunEnd runIn(Cpu& cpu, const RunStops& stops) {
    // The breakpoints cannot change during a run.
    const bool breakpoints = !cpu.BreakpointTable.empty();
    if (stops.recordHistory) return breakpoints ? runWith<M, true, true>(cpu, stops) : runWith<M, true, false>(cpu, stops);
    return breakpoints ? runWith<M, false, true>(cpu, stops) : runWith<M, false, false>(cpu, stops);
}

}  // namespace

RunEnd runUntil(Cpu& cpu, const RunStops& stops) {
    return cpu.mode == CpuMode::exact ? runIn<ExactMode>(cpu, stops) : runIn<StandardMode>(cpu, stops);
}
