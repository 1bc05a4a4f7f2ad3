#pragma once
#include <vector>

#include "core/cpu.h"

// What the command line asks for.
struct CommandLine {
    std::vector<int> comPorts;          // "-com <n>", repeatable, tried in order; 3, 4 when none
    CpuMode mode = CpuMode::standard;   // "-exact": the 8086 as the hardware behaves
};

// Reads the command line. Returns false when it is bad. A word after -com is always its port
// number, so "-com -exact" adds port 0, as any other word there does.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& options);

// The program: command line, serial link, machine start-up state, handshake, command loop.
int velkorMain(int argc, const char* const* argv);
