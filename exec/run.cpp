#include "exec/run.h"

#include "core/memory.h"
#include "exec/step.h"
#include "platform/platform.h"

namespace {

bool enabledBreakpointAt(const Cpu& cpu, uint32_t address) {
    const auto entry = cpu.BreakpointTable.find(address);
    return entry != cpu.BreakpointTable.end() && entry->second != 0;
}

// One loop per combination of history and breakpoints, so that the common run (neither) tests
// only the stop address and one combined flag per instruction.
template <bool recordHistory, bool checkBreakpoints>
RunEnd runLoop(Cpu& cpu, uint32_t stopAddress, uint64_t stepLimit) {
    for (uint64_t steps = 1;; ++steps) {
        if (recordHistory) cpu.IpHistory.push_back(cpu.ip);
        stepInline(cpu);
        const uint32_t address = linearOf(cpu.cs, cpu.ip);
        if (address == stopAddress) return RunEnd::stopAddress;
        if (cpu.stopRequested) return RunEnd::stopRequest;
        if (checkBreakpoints && enabledBreakpointAt(cpu, address)) return RunEnd::breakpoint;
        if (recordHistory && cpu.IpHistory.size() > kHistoryLimit) return RunEnd::historyFull;
        if (platform::breakRequested()) return RunEnd::breakKey;
        if (steps == stepLimit) return RunEnd::stepLimit;
    }
}

}  // namespace

RunEnd runUntil(Cpu& cpu, const RunStops& stops) {
    // The breakpoints cannot change during a run.
    const bool breakpoints = !cpu.BreakpointTable.empty();
    const uint64_t limit = stops.stepLimit != 0 ? stops.stepLimit : UINT64_MAX;
    if (stops.recordHistory) {
        return breakpoints ? runLoop<true, true>(cpu, stops.stopAddress, limit)
                           : runLoop<true, false>(cpu, stops.stopAddress, limit);
    }
    return breakpoints ? runLoop<false, true>(cpu, stops.stopAddress, limit)
                       : runLoop<false, false>(cpu, stops.stopAddress, limit);
}
