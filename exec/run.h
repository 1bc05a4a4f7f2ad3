#pragma once
// Running guest code until a stop condition holds: the loop behind the monitor's g.
#include <cstdint>

#include "core/cpu.h"

// A run that records history stops once it holds more than this many entries.
constexpr size_t kHistoryLimit = 32000;

struct RunStops {
    uint32_t stopAddress;   // linear CS*16+IP (not reduced to 20 bits) after a step
    bool recordHistory;     // append IP to IpHistory before each step; bounded by kHistoryLimit
    uint64_t stepLimit;     // 0: no limit
};

enum class RunEnd { stopAddress, stopRequest, breakpoint, historyFull, breakKey, stepLimit };

// Steps until, after a step, CS:IP is the stop address, a stop was requested, CS:IP is an enabled
// breakpoint, the history is full, Ctrl-C was pressed, or the step limit is reached (tested in
// this order). The first instruction always runs.
RunEnd runUntil(Cpu& cpu, const RunStops& stops);
