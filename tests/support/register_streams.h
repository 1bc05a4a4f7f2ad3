#pragma once
// The register stream as each place records it (a capture file, velkor-device's log, velkor's port
// log), reduced to one type so that tests can compare them.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/s98_test_reader.h"
#include "tools/vgm_test_reader.h"

struct Message {
    int bank;  // 0 (A0) or 1 (A1)
    uint8_t reg;
    uint8_t value;
    bool operator==(const Message&) const = default;
};

inline std::vector<Message> messagesOf(const S98Contents& s98) {
    std::vector<Message> messages;
    for (const S98Write& w : s98.writes) messages.push_back({w.bank, w.reg, w.value});
    return messages;
}

inline std::vector<Message> messagesOf(const VgmContents& vgm) {
    std::vector<Message> messages;
    for (const VgmWrite& w : vgm.writes) messages.push_back({w.port, w.reg, w.value});
    return messages;
}

// The writes velkor-device logged ("<seconds> A0 rr vv"), in order.
inline std::vector<Message> deviceLogMessages(const std::string& log) {
    std::vector<Message> messages;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        double at = 0;
        int bank = 0;
        unsigned reg = 0, value = 0;
        if (std::sscanf(line.c_str(), "%lf A%d %x %x", &at, &bank, &reg, &value) == 4)
            messages.push_back({bank, static_cast<uint8_t>(reg), static_cast<uint8_t>(value)});
    }
    return messages;
}

// The guest's data-port writes from iow.txt, each completing the register its address port chose;
// bank A0's register 27 left out (its channel 3 mode is forwarded only when it changes).
inline std::vector<Message> portLogWrites(const std::string& log) {
    std::vector<Message> messages;
    uint8_t latch[2] = {0, 0};
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned port = 0, value = 0;
        if (std::sscanf(line.c_str(), "%x <- %x", &port, &value) != 2) continue;  // a read
        if (port == 0x188 || port == 0x18C) latch[port == 0x18C] = static_cast<uint8_t>(value);
        if (port == 0x18A && latch[0] != 0x27) messages.push_back({0, latch[0], static_cast<uint8_t>(value)});
        if (port == 0x18E) messages.push_back({1, latch[1], static_cast<uint8_t>(value)});
    }
    return messages;
}

// Waits up to 5 s for velkor-device's link to its pseudo-terminal.
inline bool waitForLink(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) return true;
        usleep(10000);
    }
    return false;
}
