#pragma once
// A small independent reader of S98 version 3 files, written from the format's description, so
// tests check velkor's bytes against the format rather than against the writer's own code.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct S98Write {
    uint64_t sync;  // SYNCs before the write
    int bank;       // 0 (A0) or 1 (A1)
    uint8_t reg;
    uint8_t value;
    bool operator==(const S98Write&) const = default;
};

struct S98Contents {
    uint32_t timerNumerator = 0;
    uint32_t timerDenominator = 0;
    uint32_t tagOffset = 0;
    uint32_t dumpOffset = 0;
    uint32_t loopOffset = 0;
    uint32_t deviceCount = 0;
    uint32_t deviceType = 0;
    uint32_t deviceClock = 0;
    std::vector<S98Write> writes;
    uint64_t syncs = 0;         // all SYNCs of the dump
    size_t endOffset = 0;       // where the FD command is
    std::string dump;           // the dump bytes, FD included
    bool tagHasBom = false;
    std::map<std::string, std::string> tags;
};

inline uint32_t s98Word(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(bytes.at(offset + i))} << (8 * i);
    return value;
}

// The tag block: "[S98]", an optional UTF-8 byte order mark, "key=value" lines ended by 0x0A, and
// a 0 byte at the end. False when it is not there or not ended.
inline bool readS98Tag(const std::string& file, size_t at, S98Contents& s98) {
    if (file.compare(at, 5, "[S98]") != 0) return false;
    at += 5;
    if (file.compare(at, 3, "\xEF\xBB\xBF") == 0) {
        s98.tagHasBom = true;
        at += 3;
    }
    const size_t end = file.find('\0', at);
    if (end == std::string::npos) return false;
    size_t line = at;
    while (line < end) {
        size_t stop = file.find('\n', line);
        if (stop == std::string::npos || stop > end) stop = end;
        const std::string text = file.substr(line, stop - line);
        const size_t equals = text.find('=');
        if (equals == std::string::npos) return false;
        s98.tags[text.substr(0, equals)] = text.substr(equals + 1);
        line = stop + 1;
    }
    return true;
}

// Walks the dump from its offset to the FD command; nullopt on anything a player would refuse.
inline std::optional<S98Contents> readS98(const std::string& file) {
    if (file.size() < 0x20 || file.compare(0, 4, "S983") != 0) return std::nullopt;
    S98Contents s98;
    s98.timerNumerator = s98Word(file, 0x04);
    s98.timerDenominator = s98Word(file, 0x08);
    if (s98Word(file, 0x0C) != 0) return std::nullopt;  // compression is never used
    s98.tagOffset = s98Word(file, 0x10);
    s98.dumpOffset = s98Word(file, 0x14);
    s98.loopOffset = s98Word(file, 0x18);
    s98.deviceCount = s98Word(file, 0x1C);
    if (s98.deviceCount >= 1) {
        if (file.size() < 0x30) return std::nullopt;
        s98.deviceType = s98Word(file, 0x20);
        s98.deviceClock = s98Word(file, 0x24);
    }
    size_t at = s98.dumpOffset;
    auto byte = [&](size_t offset) { return static_cast<uint8_t>(file.at(offset)); };
    while (at < file.size()) {
        const uint8_t command = byte(at);
        if (command == 0xFD) {
            s98.endOffset = at;
            s98.dump = file.substr(s98.dumpOffset, at + 1 - s98.dumpOffset);
            if (s98.tagOffset != 0 && !readS98Tag(file, s98.tagOffset, s98)) return std::nullopt;
            return s98;
        }
        if (command == 0xFF) {
            ++s98.syncs;
            ++at;
        } else if (command == 0xFE) {
            uint64_t count = 0;
            int shift = 0;
            do {
                if (++at >= file.size() || shift > 56) return std::nullopt;
                count |= uint64_t{byte(at) & 0x7Fu} << shift;
                shift += 7;
            } while (byte(at) & 0x80);
            s98.syncs += count + 2;
            ++at;
        } else if (command <= 0x01 && at + 2 < file.size()) {
            s98.writes.push_back({s98.syncs, command, byte(at + 1), byte(at + 2)});
            at += 3;
        } else {
            return std::nullopt;  // another device, or a reserved command
        }
    }
    return std::nullopt;
}
