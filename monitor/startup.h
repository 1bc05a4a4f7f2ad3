#pragma once
#include <vector>

// Reads the command line: "-com <n>" options, repeatable, tried in order. Returns false when the
// command line is bad. With no port given the list is 3, 4.
bool parseCommandLine(int argc, const char* const* argv, std::vector<int>& comPorts);

// The program: command line, serial link, machine start-up state, handshake, command loop.
int velkorMain(int argc, const char* const* argv);
