// v: the register capture. "v FILE [MS]" starts one (ending a running one first), "v" ends it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/register_capture.h"
#include "host/tick_hook.h"
#include "monitor/monitor.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits the line after the command letter into blank-separated words (modifies the line).
size_t splitWords(char* text, char* words[], size_t capacity) {
    size_t count = 0;
    for (char* word = std::strtok(text, " \t"); word; word = std::strtok(nullptr, " \t")) {
        if (count == capacity) return capacity + 1;
        words[count++] = word;
    }
    return count;
}

// A tick length in milliseconds: decimal digits only, 1 to the largest the capture takes.
bool parseTickMs(const char* text, uint32_t& ms) {
    if (std::strlen(text) > 5 || text[std::strspn(text, "0123456789")] != '\0') return false;
    const long value = std::strtol(text, nullptr, 10);
    if (value < 1 || value > static_cast<long>(capture::TickCapture::kMaxTickMs)) return false;
    ms = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

void Monitor::captureCommand(const char* line) {
    if (line[1] != '\0' && !isBlank(line[1])) {
        std::printf("illegal command request.\n");
        return;
    }
    std::string text = line + 1;
    char* words[2] = {};
    const size_t count = splitWords(text.data(), words, 2);
    if (count > 2) {
        std::printf("illegal command request.\n");
    } else if (count == 0) {
        if (capture_.active()) {
            capture_.stop();
        } else {
            std::printf("no capture running.\n");
        }
    } else {
        startCapture(words[0], words[1]);
    }
}

void Monitor::startCapture(const char* name, const char* tickText) {
    const auto format = capture::formatOf(name);
    if (!format) {
        std::printf("capture format error: name a .s98 or .vgm file.\n");
        return;
    }
    // Without a tick length the file records the current wait, or 5 ms when the wait is 0.
    uint32_t tickMs = tick_.waitMs > 0 ? static_cast<uint32_t>(tick_.waitMs) : 5;
    if (tickText ? !parseTickMs(tickText, tickMs) : tickMs > capture::TickCapture::kMaxTickMs) {
        std::printf("capture tick error: give 1 to %u msec.\n", capture::TickCapture::kMaxTickMs);
        return;
    }
    capture_.stop();
    capture_.start(name, *format, tickMs, state.fileName);
}
