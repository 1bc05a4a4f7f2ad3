// Block commands on linear addresses: f (fill) and m (move).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/cpu.h"
#include "core/memory.h"
#include "monitor/monitor.h"
#include "monitor/parse_hex.h"

namespace {

// A block longer than the image would wrap onto itself; such a request is refused.
bool fitsInImage(uint64_t count) { return count <= kMemorySize; }

}  // namespace

void Monitor::fill(const char* line) {
    uint32_t values[3];
    if (!parseChainedTriple(cpu_, line, values)) {
        std::printf("invalid command\n");
        return;
    }
    const uint32_t start = values[0];
    const uint32_t end = values[1];
    const uint8_t value = static_cast<uint8_t>(values[2]);
    if (start > end || !fitsInImage(uint64_t{end} - start + 1)) {
        std::printf("address error.\n");
        return;
    }
    for (uint32_t address = start;; ++address) {
        writeByteLinear(cpu_, address, value);
        if (address == end) break;
    }
}

void Monitor::move(const char* line) {
    uint32_t values[3];
    if (!parseChainedTriple(cpu_, line, values)) {
        std::printf("invalid command\n");
        return;
    }
    const uint32_t source = values[0];
    const uint32_t destination = values[1];
    const uint32_t count = values[2];
    if (!fitsInImage(count)) {
        std::printf("address error.\n");
        return;
    }
    // Through a buffer, so that overlapping blocks (also overlapping through the 1 MiB wrap) get
    // the source's original bytes.
    std::vector<uint8_t> bytes(count);
    for (uint32_t i = 0; i < count; ++i) bytes[i] = readByteLinear(cpu_, source + i);
    for (uint32_t i = 0; i < count; ++i) writeByteLinear(cpu_, destination + i, bytes[i]);
}
