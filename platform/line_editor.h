#pragma once
// Command lines at a terminal: read through a line editor (cursor keys, the usual Ctrl keys, a
// history kept between sessions) where the build has one. Scripts and pipes never reach it.
#include <cstddef>

namespace platform {

// True when standard input is a terminal (an interactive session).
bool inputIsTerminal();

// True when lines are read through the line editor: standard input is a terminal and the build
// has one (libedit on POSIX; the Windows console edits lines itself).
bool lineEditing();

// Shows the prompt and reads one edited line into buffer (without its newline, cut to fit).
// Returns false at the end of input (Ctrl-D on an empty line). Only when lineEditing().
bool editLine(const char* prompt, char* buffer, size_t size);

// Adds a command line to the history: recalled with the up key now and in later sessions (the
// history file, at most kHistoryLines lines, is written at once; a file that cannot be read or
// written is ignored).
void rememberLine(const char* line);

constexpr size_t kHistoryLines = 1000;

}  // namespace platform
