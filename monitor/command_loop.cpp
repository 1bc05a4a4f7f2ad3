#include <cstdio>
#include <cstring>

#include "host/register_capture.h"
#include "monitor/monitor.h"
#include "platform/line_editor.h"
#include "platform/platform.h"

bool readCommandLine(const char* prompt, char* buffer, size_t size) {
    if (platform::lineEditing()) return platform::editLine(prompt, buffer, size);
    std::fputs(prompt, stdout);
    std::fflush(stdout);
    size_t length = 0;
    bool gotAny = false;
    for (;;) {
        const int c = std::getchar();
        if (c == EOF) break;
        gotAny = true;
        if (c == '\n') break;
        if (length + 1 < size) buffer[length++] = static_cast<char>(c);
    }
    buffer[length] = '\0';
    return gotAny;
}

Monitor::Monitor(Cpu& cpu, OpnaBoard& board, SerialLink& link, TickHook& tick, RegisterCapture& capture)
    : cpu_(cpu), board_(board), link_(link), tick_(tick), capture_(capture), lineBuffer_(new char[kLineBufferSize]) {}

void Monitor::commandLoop() {
    for (;;) {
        // While velkor waits at the prompt, the capture on disk is complete.
        capture_.flush();
        const bool gotLine = readCommandLine(">", lineBuffer_.get(), kLineBufferSize);
        // A signal cuts the read short: what was read is not a command.
        if (platform::endRequested()) return;
        if (!gotLine) {
            // End of input ends the session as q does.
            char quit[] = "q";
            interpretLine(quit);
            return;
        }
        char* line = lineBuffer_.get();
        platform::rememberLine(line);
        if (line[0] == '\0' || line[0] == '\r') continue;
        // The first carriage return after the command word's first blank ends the line.
        if (char* blank = std::strpbrk(line + 1, " \t")) {
            if (char* cr = std::strchr(blank + 1, '\r')) *cr = '\0';
        }
        if (interpretLine(line) || platform::endRequested()) return;
    }
}
