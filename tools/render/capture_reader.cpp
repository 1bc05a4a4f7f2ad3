#include "tools/render/capture_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace render {

namespace {

constexpr uint32_t kOpnaDefaultClock = 7987200;
constexpr uint32_t kOpnDefaultClock = 3993600;
// Clocks outside this range are no real YM2608 or YM2203 and would make the chip's rate absurd.
constexpr uint32_t kMinClock = 1'000'000;
constexpr uint32_t kMaxClock = 20'000'000;
// Longer than this is no music (over 100 years at 1 ms a tick); it keeps every time sum far from
// overflowing.
constexpr uint64_t kMaxTicks = 1ull << 42;

constexpr uint32_t kS98MaxDevices = 64;
constexpr size_t kS98HeaderSize = 0x20;
constexpr size_t kS98DeviceSize = 0x10;
constexpr uint32_t kS98TypeOpn = 2;
constexpr uint32_t kS98TypeOpna = 4;

constexpr uint32_t kVgmSampleRate = 44100;
constexpr size_t kVgmMinHeader = 0x40;
constexpr uint32_t kVgmClockMask = 0x3FFFFFFF;  // bit 30 marks a second chip of the same kind

uint32_t word(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string hexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

const char* s98DeviceName(uint32_t type) {
    switch (type) {
        case 0: return "no device";
        case 1: return "a PSG (YM2149)";
        case 2: return "an OPN (YM2203)";
        case 3: return "an OPN2 (YM2612)";
        case 4: return "an OPNA (YM2608)";
        case 5: return "an OPM (YM2151)";
        case 6: return "an OPLL (YM2413)";
        case 7: return "an OPL (YM3526)";
        case 8: return "an OPL2 (YM3812)";
        case 9: return "an OPL3 (YMF262)";
        case 15: return "a PSG (AY-3-8910)";
        case 16: return "a DCSG (SN76489)";
        default: return "an unknown device";
    }
}

// What a walk over the commands reports: the writes of the played chip (when asked for), and for
// the checking walk the counts.
struct WalkResult {
    bool ok = true;
    bool stopped = false;  // the visitor asked to stop
    std::string error;
    uint64_t ticks = 0;
    uint64_t writes = 0;
    uint64_t skipped = 0;
    uint64_t dataBlocks = 0;
    size_t end = 0;
};

using Visitor = std::function<bool(const RegisterEvent&)>;

class Walk {
public:
    Walk(const std::vector<uint8_t>& bytes, size_t end, const Visitor* visit)
        : bytes_(bytes), end_(end), visit_(visit) {}

    bool has(size_t at, size_t count) const { return at <= end_ && count <= end_ - at; }
    uint8_t at(size_t offset) const { return bytes_[offset]; }
    bool wait(uint64_t ticks) {
        result.ticks += ticks;
        if (result.ticks <= kMaxTicks) return true;
        return fail("the music lasts longer than " + std::to_string(kMaxTicks) + " ticks");
    }
    bool write(uint8_t bank, uint8_t reg, uint8_t value) {
        ++result.writes;
        if (visit_ && !(*visit_)({result.ticks, bank, reg, value})) {
            result.stopped = true;
            return false;
        }
        return true;
    }
    bool fail(std::string reason) {
        result.ok = false;
        result.error = std::move(reason);
        return false;
    }
    bool truncated(size_t offset, const char* what) {
        return fail(std::string("truncated: the file ends inside ") + what + " at offset " + hex(offset));
    }

    WalkResult result;

private:
    const std::vector<uint8_t>& bytes_;
    size_t end_;
    const Visitor* visit_;
};

// The S98 dump from `start` to its end command FD.
WalkResult walkS98(const std::vector<uint8_t>& bytes, size_t start, uint32_t devices, ChipType chip,
                   const Visitor* visit) {
    Walk walk(bytes, bytes.size(), visit);
    size_t at = start;
    while (true) {
        if (!walk.has(at, 1)) {
            walk.fail("truncated: the dump has no end command (FD)");
            break;
        }
        const uint8_t command = walk.at(at);
        if (command == 0xFD) {
            walk.result.end = at;
            break;
        }
        if (command == 0xFF) {
            if (!walk.wait(1)) break;
            ++at;
        } else if (command == 0xFE) {
            // A count in 7-bit groups, lowest first, each but the last with bit 7 set; n + 2 SYNCs.
            uint64_t count = 0;
            int shift = 0;
            size_t p = at + 1;
            bool more = true;
            while (more && walk.has(p, 1) && shift <= 35) {
                count |= uint64_t{walk.at(p) & 0x7Fu} << shift;
                shift += 7;
                more = (walk.at(p++) & 0x80) != 0;
            }
            if (more) {
                if (shift <= 35)
                    walk.truncated(at, "a SYNC count (FE)");
                else
                    walk.fail("corrupt: an overlong SYNC count (FE) at offset " + hex(at));
                break;
            }
            if (!walk.wait(count + 2)) break;
            at = p;
        } else if (command < 0x80) {
            if (!walk.has(at, 3)) {
                walk.truncated(at, "a register write");
                break;
            }
            const uint32_t device = command >> 1;
            if (device >= devices) {
                walk.fail("corrupt: dump command " + hexByte(command) + " at offset " + hex(at) + " names device " +
                          std::to_string(device + 1) + ", but the file lists " + std::to_string(devices));
                break;
            }
            const uint8_t bank = command & 1;
            if (device == 0 && !(chip == ChipType::ym2203 && bank == 1)) {
                if (!walk.write(bank, walk.at(at + 1), walk.at(at + 2))) break;
            } else {
                ++walk.result.skipped;
            }
            at += 3;
        } else {
            walk.fail("corrupt: reserved dump command " + hexByte(command) + " at offset " + hex(at));
            break;
        }
    }
    return walk.result;
}

// The length of a VGM command that velkor-render skips, from the format's command table; 0 for a
// command the format does not define.
size_t vgmSkippedLength(uint8_t command, uint32_t version) {
    if (command >= 0x30 && command <= 0x3F) return 2;
    if (command >= 0x40 && command <= 0x4E) return version >= 0x160 ? 3 : 2;
    if (command == 0x4F || command == 0x50) return 2;
    if (command >= 0x51 && command <= 0x5F) return 3;
    if (command == 0x68) return 12;
    switch (command) {
        case 0x90:
        case 0x91:
        case 0x95: return 5;
        case 0x92: return 6;
        case 0x93: return 11;
        case 0x94: return 2;
        default: break;
    }
    if (command >= 0xA0 && command <= 0xBF) return 3;
    if (command >= 0xC0 && command <= 0xDF) return 4;
    if (command >= 0xE0) return 5;
    return 0;
}

// The VGM command stream from `start` to its end command 0x66.
WalkResult walkVgm(const std::vector<uint8_t>& bytes, size_t start, size_t end, uint32_t version, ChipType chip,
                   const Visitor* visit) {
    Walk walk(bytes, end, visit);
    size_t at = start;
    while (true) {
        if (!walk.has(at, 1)) {
            walk.fail("truncated: the command stream has no end command (0x66)");
            break;
        }
        const uint8_t command = walk.at(at);
        if (command == 0x66) {
            walk.result.end = at;
            break;
        }
        if (command == 0x61) {
            if (!walk.has(at, 3)) {
                walk.truncated(at, "a wait (0x61)");
                break;
            }
            if (!walk.wait(walk.at(at + 1) | walk.at(at + 2) << 8)) break;
            at += 3;
        } else if (command == 0x62 || command == 0x63) {
            if (!walk.wait(command == 0x62 ? 735 : 882)) break;
            ++at;
        } else if (command >= 0x70 && command <= 0x7F) {
            if (!walk.wait(command - 0x70 + 1)) break;
            ++at;
        } else if (command >= 0x80 && command <= 0x8F) {
            // A YM2612 sample from the data bank, then a wait of n samples.
            ++walk.result.skipped;
            if (!walk.wait(command - 0x80)) break;
            ++at;
        } else if (command == 0x67) {
            // 0x67 0x66 type size(32 bits) data: bit 31 of the size marks a second chip's block.
            if (!walk.has(at, 7)) {
                walk.truncated(at, "a data block (0x67)");
                break;
            }
            if (walk.at(at + 1) != 0x66) {
                walk.fail("corrupt: a data block (0x67) at offset " + hex(at) + " lacks its 0x66");
                break;
            }
            const uint32_t size = word(bytes, at + 3) & 0x7FFFFFFF;
            if (!walk.has(at + 7, size)) {
                walk.truncated(at, "a data block (0x67)");
                break;
            }
            ++walk.result.dataBlocks;
            ++walk.result.skipped;
            at += 7 + size;
        } else {
            const bool played = (chip == ChipType::ym2608 && (command == 0x56 || command == 0x57)) ||
                                (chip == ChipType::ym2203 && command == 0x55);
            const size_t length = played ? 3 : vgmSkippedLength(command, version);
            if (length == 0) {
                walk.fail("corrupt: unknown VGM command " + hexByte(command) + " at offset " + hex(at));
                break;
            }
            if (!walk.has(at, length)) {
                walk.truncated(at, "a command");
                break;
            }
            if (played) {
                if (!walk.write(command == 0x57 ? 1 : 0, walk.at(at + 1), walk.at(at + 2))) break;
            } else {
                ++walk.result.skipped;
            }
            at += length;
        }
    }
    return walk.result;
}

bool clockInRange(uint32_t clock, std::string& error) {
    if (clock >= kMinClock && clock <= kMaxClock) return true;
    error = "the chip's clock of " + std::to_string(clock) + " Hz is outside 1 to 20 MHz";
    return false;
}

std::string readFailure(const std::string& path) { return "cannot read " + path + ": " + std::strerror(errno); }

}  // namespace

const char* chipName(ChipType chip) { return chip == ChipType::ym2608 ? "YM2608 (OPNA)" : "YM2203 (OPN)"; }
const char* formatName(FileFormat format) { return format == FileFormat::s98 ? "S98" : "VGM"; }

std::optional<Capture> Capture::load(const std::string& path, std::string& error) {
    // A regular file's size is known before it is read; anything else is read up to the limit.
    std::error_code sizeError;
    const uintmax_t size =
        std::filesystem::is_regular_file(path, sizeError) ? std::filesystem::file_size(path, sizeError) : 0;
    if (!sizeError && size > kMaxFileBytes) {
        error = path + ": the file is larger than " + std::to_string(kMaxFileBytes >> 20) +
                " MiB, more than any capture velkor-render plays";
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        error = readFailure(path);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    if (!sizeError) bytes.reserve(static_cast<size_t>(size));
    uint8_t chunk[1 << 16];
    while (true) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        if (got == 0) {
            if (std::ferror(file.get())) {
                error = readFailure(path);
                return std::nullopt;
            }
            break;
        }
        if (bytes.size() + got > kMaxFileBytes) {
            error = path + ": the file is larger than " + std::to_string(kMaxFileBytes >> 20) +
                    " MiB, more than any capture velkor-render plays";
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return parse(std::move(bytes), path, error);
}

std::optional<Capture> Capture::parse(std::vector<uint8_t> bytes, const std::string& name, std::string& error) {
    Capture capture;
    capture.bytes_ = std::move(bytes);
    const std::vector<uint8_t>& b = capture.bytes_;
    CaptureInfo& info = capture.info_;
    auto refuse = [&](const std::string& reason) {
        error = name + ": " + reason;
        return std::nullopt;
    };
    if (b.size() > kMaxFileBytes) {
        return refuse("the file is larger than " + std::to_string(kMaxFileBytes >> 20) +
                      " MiB, more than any capture velkor-render plays");
    }
    if (b.size() >= 3 && b[0] == 'S' && b[1] == '9' && b[2] == '8') {
        info.format = FileFormat::s98;
        if (b.size() < 4) return refuse("truncated: the S98 header ends after 3 bytes");
        if (b[3] < '0' || b[3] > '3') {
            return refuse(std::string("S98 version '") + static_cast<char>(b[3] >= 0x20 && b[3] < 0x7F ? b[3] : '?') +
                          "' is not supported (versions 0 to 3 are)");
        }
        info.version = b[3] - '0';
        if (b.size() < kS98HeaderSize) return refuse("truncated: the S98 header needs 32 bytes");
        info.tickNumerator = word(b, 0x04) ? word(b, 0x04) : 10;
        info.tickDenominator = info.version >= 2 && word(b, 0x08) ? word(b, 0x08) : 1000;
        if (word(b, 0x0C) != 0) return refuse("compressed S98 dumps are not supported");
        const uint32_t dump = word(b, 0x14);
        info.hasLoop = word(b, 0x18) != 0;
        uint32_t type = kS98TypeOpna;
        uint32_t clock = 0;
        uint32_t devices = 1;
        size_t headerEnd = kS98HeaderSize;
        if (info.version == 3) {
            const uint32_t count = word(b, 0x1C);
            if (count > kS98MaxDevices) {
                return refuse("corrupt: " + std::to_string(count) + " devices listed, more than the format's 64");
            }
            headerEnd += kS98DeviceSize * count;
            if (b.size() < headerEnd) return refuse("truncated: the file ends inside the S98 device list");
            if (count > 0) {
                devices = count;
                type = word(b, 0x20);
                clock = word(b, 0x24);
            }
        } else if (info.version == 2) {
            // Device records until one of type 0 (or the dump); none means one OPNA.
            uint32_t count = 0;
            for (size_t at = kS98HeaderSize; count < kS98MaxDevices && at + kS98DeviceSize <= b.size() &&
                                             (dump == 0 || at + kS98DeviceSize <= dump) && word(b, at) != 0;
                 at += kS98DeviceSize) {
                if (count == 0) {
                    type = word(b, at);
                    clock = word(b, at + 4);
                }
                ++count;
            }
            devices = count ? count : 1;
        }
        if (type != kS98TypeOpna && type != kS98TypeOpn) {
            return refuse(std::string("the first S98 device is ") + s98DeviceName(type) + " (type " +
                          std::to_string(type) + "); velkor-render plays a YM2608 (OPNA) or YM2203 (OPN)");
        }
        info.chip = type == kS98TypeOpna ? ChipType::ym2608 : ChipType::ym2203;
        info.clock = clock ? clock : (type == kS98TypeOpna ? kOpnaDefaultClock : kOpnDefaultClock);
        std::string clockError;
        if (!clockInRange(info.clock, clockError)) return refuse(clockError);
        if (dump < headerEnd || dump >= b.size()) {
            return refuse(dump >= b.size() ? "truncated: the dump offset " + hex(dump) + " lies past the file's end"
                                           : "corrupt: the dump offset " + hex(dump) + " lies inside the header");
        }
        const WalkResult walk = walkS98(b, dump, devices, info.chip, nullptr);
        if (!walk.ok) return refuse(walk.error);
        capture.dataStart_ = dump;
        capture.dataEnd_ = b.size();
        capture.deviceCount_ = devices;
        info.ticks = walk.ticks;
        info.writes = walk.writes;
        info.skipped = walk.skipped;
        return capture;
    }
    if (b.size() >= 4 && std::memcmp(b.data(), "Vgm ", 4) == 0) {
        info.format = FileFormat::vgm;
        if (b.size() < kVgmMinHeader) return refuse("truncated: the VGM header needs 64 bytes");
        const uint32_t eof = word(b, 0x04);
        const uint64_t end = eof ? uint64_t{eof} + 4 : b.size();
        if (end > b.size()) {
            return refuse("truncated: the header says " + std::to_string(end) + " bytes, the file has " +
                          std::to_string(b.size()));
        }
        if (end < kVgmMinHeader) return refuse("corrupt: the end-of-file offset lies inside the header");
        info.version = static_cast<int>(word(b, 0x08));
        const uint32_t dataOffset = info.version >= 0x150 ? word(b, 0x34) : 0;
        const uint64_t start = dataOffset ? uint64_t{dataOffset} + 0x34 : kVgmMinHeader;
        if (start < kVgmMinHeader) return refuse("corrupt: the data offset points into the header's first 64 bytes");
        if (start >= end) return refuse("truncated: the command stream starts past the file's end");
        // Header fields that the data overlaps, or that the version does not have, read as 0.
        auto field = [&](size_t offset, int sinceVersion) {
            return info.version >= sinceVersion && offset + 4 <= start ? word(b, offset) : 0;
        };
        const uint32_t ym2203 = field(0x44, 0x151) & kVgmClockMask;
        const uint32_t ym2608 = field(0x48, 0x151) & kVgmClockMask;
        if (ym2608 == 0 && ym2203 == 0)
            return refuse("the VGM file has no YM2608 or YM2203; velkor-render plays only those");
        info.chip = ym2608 ? ChipType::ym2608 : ChipType::ym2203;
        info.clock = ym2608 ? ym2608 : ym2203;
        std::string clockError;
        if (!clockInRange(info.clock, clockError)) return refuse(clockError);
        info.tickNumerator = 1;
        info.tickDenominator = kVgmSampleRate;
        info.hasLoop = word(b, 0x1C) != 0;
        const WalkResult walk = walkVgm(b, start, end, static_cast<uint32_t>(info.version), info.chip, nullptr);
        if (!walk.ok) return refuse(walk.error);
        capture.dataStart_ = start;
        capture.dataEnd_ = end;
        info.ticks = walk.ticks;
        info.writes = walk.writes;
        info.skipped = walk.skipped;
        info.dataBlocks = walk.dataBlocks;
        return capture;
    }
    if (b.size() >= 2 && b[0] == 0x1F && b[1] == 0x8B) {
        return refuse("a gzip-compressed file (a .vgz?): unpack it first, for example with gzip -dc");
    }
    return refuse("not an S98 or VGM file (it starts with neither \"S98\" nor \"Vgm \")");
}

bool Capture::forEachWrite(const std::function<bool(const RegisterEvent&)>& visit) const {
    const WalkResult walk =
        info_.format == FileFormat::s98
            ? walkS98(bytes_, dataStart_, deviceCount_, info_.chip, &visit)
            : walkVgm(bytes_, dataStart_, dataEnd_, static_cast<uint32_t>(info_.version), info_.chip, &visit);
    return !walk.stopped;
}

std::vector<RegisterEvent> Capture::writes() const {
    std::vector<RegisterEvent> events;
    events.reserve(info_.writes);
    forEachWrite([&](const RegisterEvent& event) {
        events.push_back(event);
        return true;
    });
    return events;
}

}  // namespace render
