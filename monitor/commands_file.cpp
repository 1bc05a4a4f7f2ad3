// The memory-image file commands: n (name), l (load), w (write) and fs (size to write).
#include <cstdio>
#include <cstring>

#include "core/cpu.h"
#include "monitor/monitor.h"
#include "monitor/parse_hex.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// After the command letter and one blank, further blanks are skipped and the rest of the line is
// the name, cut to the 255 characters the name buffer holds.
void takeFileName(MonitorState& state, const char* line) {
    const char* name = line + 2;
    while (isBlank(*name)) ++name;
    std::snprintf(state.fileName, sizeof state.fileName, "%s", name);
}

}  // namespace

void Monitor::setName(const char* line) {
    if (!isBlank(line[1])) {
        std::printf("illegal command request.\n");
        return;
    }
    takeFileName(state, line);
    std::printf("set filename [%s]\n", state.fileName);
}

void Monitor::load(const char* line) {
    if (line[1] != '\0' && !isBlank(line[1])) {
        std::printf("illegal command request.\n");
        return;
    }
    if (line[1] != '\0') takeFileName(state, line);
    std::FILE* file = std::fopen(state.fileName, "rb");
    if (!file) {
        std::printf("file open error.\n");
        return;
    }
    const size_t count = std::fread(cpu_.memory.get(), 1, kMemorySize, file);
    const bool failed = std::ferror(file) != 0;  // a directory opens but cannot be read
    std::fclose(file);
    if (failed && count == 0) {
        std::printf("file open error.\n");
        return;
    }
    state.fileSize = static_cast<uint32_t>(count);
    std::printf("load file comp.[%s][%u(%08x)]\n", state.fileName, state.fileSize, state.fileSize);
}

void Monitor::write(const char* line) {
    if (line[1] != '\0') takeFileName(state, line);
    if (state.fileSize == 0) return;
    std::FILE* file = std::fopen(state.fileName, "wb");
    if (!file) {
        std::printf("file open error.\n");
        return;
    }
    const size_t count = state.fileSize > kMemorySize ? kMemorySize : state.fileSize;
    std::fwrite(cpu_.memory.get(), 1, count, file);
    std::fclose(file);
    std::printf("save file comp.[%s]\n", state.fileName);
}

void Monitor::setFileSize(const char* line) {
    const HexValue size = parseHex(cpu_, line + 2);
    if (!size.ok) {
        std::printf("invalid file size\n");
        return;
    }
    state.fileSize = size.value;
    std::printf("set filesize -> [%u]\n", state.fileSize);
}
