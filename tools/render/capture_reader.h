#pragma once
// Readers for register captures: S98 (versions 0 to 3) and VGM (any version, uncompressed). A file is
// checked whole when it is parsed, so that a truncated or corrupt file is refused before anything is
// rendered; its register writes are then walked as often as needed, straight from the file's bytes.
//
// Time is counted in the format's own ticks: an S98 SYNC (timer numerator / denominator seconds) or
// a VGM sample (1 / 44100 s). Only the first S98 device, or the first YM2608 (else the first YM2203)
// of a VGM file, is read; the commands of other devices and chips are skipped. A loop point is
// noted and not followed: the music plays once, to its end.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace render {

// The largest file the readers take.
constexpr uint64_t kMaxFileBytes = 256ull * 1024 * 1024;

enum class FileFormat : uint8_t { s98, vgm };
// YM2203 (OPN) captures are played by a YM2608 at twice the OPN's clock (see ChipSetup).
enum class ChipType : uint8_t { ym2608, ym2203 };

struct RegisterEvent {
    uint64_t tick;  // ticks from the start
    uint8_t bank;   // 0 (A0) or 1 (A1)
    uint8_t reg;
    uint8_t value;
    bool operator==(const RegisterEvent&) const = default;
};

struct CaptureInfo {
    FileFormat format = FileFormat::s98;
    int version = 0;          // S98: 0-3; VGM: the header's BCD version (0x151 for 1.51)
    ChipType chip = ChipType::ym2608;
    uint32_t clock = 0;       // the chip's own clock, as the file gives it
    uint64_t tickNumerator = 1;    // one tick lasts numerator / denominator seconds
    uint64_t tickDenominator = 1;
    uint64_t ticks = 0;       // where the end is
    uint64_t writes = 0;      // register writes to the chip that is played
    uint64_t skipped = 0;     // commands for other devices or chips (and data blocks), skipped
    uint64_t dataBlocks = 0;  // VGM data blocks, skipped
    bool hasLoop = false;     // a loop point, which is not followed
};

class Capture {
public:
    // Reads and checks a file; nullopt with a one-line reason in `error` (naming the file) when it
    // cannot be read or is not a capture velkor-render plays.
    static std::optional<Capture> load(const std::string& path, std::string& error);
    // The same for bytes already in memory; `name` is used in the messages.
    static std::optional<Capture> parse(std::vector<uint8_t> bytes, const std::string& name, std::string& error);

    const CaptureInfo& info() const { return info_; }
    // Calls visit for every register write of the played chip, in order; stops early when visit
    // answers false (and then answers false itself).
    bool forEachWrite(const std::function<bool(const RegisterEvent&)>& visit) const;
    std::vector<RegisterEvent> writes() const;
    double seconds() const {
        return static_cast<double>(info_.ticks) * static_cast<double>(info_.tickNumerator) /
               static_cast<double>(info_.tickDenominator);
    }

private:
    std::vector<uint8_t> bytes_;
    CaptureInfo info_;
    size_t dataStart_ = 0;
    size_t dataEnd_ = 0;
    uint32_t deviceCount_ = 1;  // S98: the devices the dump may name
};

const char* chipName(ChipType chip);
const char* formatName(FileFormat format);

}  // namespace render
