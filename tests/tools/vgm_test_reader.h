#pragma once
// A small independent reader of the VGM files velkor-device writes, so tests check the bytes
// against the file format rather than against the writer's own code.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct VgmWrite {
    uint32_t sample;  // stream position when the write happens
    int port;         // 0 (bank A0) or 1 (bank A1)
    uint8_t reg;
    uint8_t value;
    bool operator==(const VgmWrite&) const = default;
};

struct VgmContents {
    std::string header;            // the first 0x80 bytes
    std::string data;              // the command bytes, up to and including the end mark
    std::vector<VgmWrite> writes;
    uint32_t samples = 0;          // all waits added up
};

inline uint32_t vgmWord(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(bytes.at(offset + i))} << (8 * i);
    return value;
}

// Walks the command stream; nullopt when a command is unknown or the stream has no end mark.
inline std::optional<VgmContents> readVgm(const std::string& file) {
    if (file.size() < 0x80 || file.compare(0, 4, "Vgm ") != 0) return std::nullopt;
    VgmContents vgm;
    vgm.header = file.substr(0, 0x80);
    size_t at = 0x34 + vgmWord(file, 0x34);
    const size_t begin = at;
    auto byte = [&](size_t offset) { return static_cast<uint8_t>(file.at(offset)); };
    while (at < file.size()) {
        const uint8_t command = byte(at);
        if (command == 0x66) {
            vgm.data = file.substr(begin, at + 1 - begin);
            return vgm;
        }
        if ((command == 0x56 || command == 0x57) && at + 2 < file.size()) {
            vgm.writes.push_back({vgm.samples, command - 0x56, byte(at + 1), byte(at + 2)});
            at += 3;
        } else if (command == 0x61 && at + 2 < file.size()) {
            vgm.samples += byte(at + 1) | (byte(at + 2) << 8);
            at += 3;
        } else if (command == 0x62 || command == 0x63) {
            vgm.samples += command == 0x62 ? 735 : 882;
            at += 1;
        } else if (command >= 0x70 && command <= 0x7F) {
            vgm.samples += command - 0x70 + 1;
            at += 1;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}
