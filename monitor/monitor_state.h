#pragma once
// The monitor's variables that persist from one command line to the next.
#include <cstdint>

enum class HistoryMode : uint8_t { off, simple, full };

struct MonitorState {
    char fileName[256] = "noname.bin";
    uint32_t fileSize = 0;
    HistoryMode historyMode = HistoryMode::off;
    uint32_t dumpAddress = 0;
    uint16_t dumpSegment = 0;
    uint16_t dumpOffset = 0;
    uint32_t enterAddress = 0;
    uint16_t enterOffset = 0;
    uint16_t unassembleOffset = 0;
};
