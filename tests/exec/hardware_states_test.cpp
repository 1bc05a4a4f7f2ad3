// The exact 8086 mode against states recorded from a real 80C86A (the SingleStepTests 8086 sample in
// tests/data/sst8086, whose README describes the files): one test case per opcode file, and every
// test of the file must reach its recorded state in one step. Registers, the defined flags and
// every recorded memory byte are compared; a write anywhere else in memory fails too.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/cpu.h"
#include "exec/run.h"
#include "exec/step.h"

namespace {

const std::filesystem::path kDataDir = std::filesystem::path(VELKOR_SOURCE_DIR) / "tests/data/sst8086";

// What the converter wrote from the sample (see the README there): a file missing from the
// directory fails here, a truncated one in its own case.
constexpr size_t kDataFiles = 302;
constexpr size_t kDataTests = 12080;

// The registers in the files' order; flags last.
enum Register { kAx, kBx, kCx, kDx, kCs, kSs, kDs, kEs, kSp, kBp, kSi, kDi, kIp, kFlags, kRegisterCount };
constexpr std::array<const char*, kRegisterCount> kRegisterNames = {
    "ax", "bx", "cx", "dx", "cs", "ss", "ds", "es", "sp", "bp", "si", "di", "ip", "flags"};
constexpr std::array<uint16_t Cpu::*, kFlags> kRegisterMembers = {
    &Cpu::ax, &Cpu::bx, &Cpu::cx, &Cpu::dx, &Cpu::cs, &Cpu::ss, &Cpu::ds,
    &Cpu::es, &Cpu::sp, &Cpu::bp, &Cpu::si, &Cpu::di, &Cpu::ip};

struct RamByte {
    uint32_t address;
    uint8_t value;
};

struct HardwareState {
    std::string number;  // the suite's test number, to find the test in its original file
    std::string name;
    std::vector<uint8_t> bytes;
    std::array<uint16_t, kRegisterCount> initial{};
    std::array<std::optional<uint16_t>, kRegisterCount> final;  // only the registers that changed
    std::vector<RamByte> initialRam;
    std::vector<RamByte> finalRam;
    uint16_t flagsMask = 0;
};

// ---- Reading a file

// The whole of text as one number (hexadecimal unless told), in range for T.
template <typename T>
bool parseNumber(std::string_view text, T& value, int base = 16) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// Runs "aaaaa:bbbb..." into single bytes.
bool parseRam(const std::vector<std::string>& runs, std::vector<RamByte>& ram) {
    for (const std::string& run : runs) {
        const size_t colon = run.find(':');
        uint32_t address = 0;
        if (colon == std::string::npos || !parseNumber(std::string_view(run).substr(0, colon), address)) return false;
        const std::string_view data = std::string_view(run).substr(colon + 1);
        if (data.empty() || data.size() % 2 != 0) return false;
        for (size_t i = 0; i < data.size(); i += 2, ++address) {
            uint8_t value = 0;
            if (address >= kMemorySize || !parseNumber(data.substr(i, 2), value)) return false;
            ram.push_back({address, value});
        }
    }
    return true;
}

bool parseFinalRegisters(const std::vector<std::string>& fields, HardwareState& state) {
    for (const std::string& field : fields) {
        const size_t colon = field.find(':');
        if (colon == std::string::npos) return false;
        const auto named = std::find(kRegisterNames.begin(), kRegisterNames.end(), field.substr(0, colon));
        uint16_t value = 0;
        if (named == kRegisterNames.end() || !parseNumber(std::string_view(field).substr(colon + 1), value)) return false;
        state.final[named - kRegisterNames.begin()] = value;
    }
    return true;
}

struct DataFile {
    size_t declaredCount = 0;
    std::vector<HardwareState> tests;
    std::string error;  // empty when the whole file was read
};

// Reads a data file: its count line, then seven lines per test in their fixed order.
class StateReader {
public:
    explicit StateReader(const std::filesystem::path& path) : in_(path) {}

    DataFile read() {
        DataFile file;
        std::vector<std::string> fields;
        if (!in_) return fail(file, "cannot open the file");
        if (!next("count", fields) || fields.size() != 1 || !parseNumber(fields[0], file.declaredCount, 10))
            return fail(file, "no count line");
        for (std::string line; nextLine(line);) {
            HardwareState state;
            const size_t space = line.find(' ', 5);
            if (!line.starts_with("test ") || space == std::string::npos) return fail(file, "no test line");
            state.number = line.substr(5, space - 5);
            state.name = line.substr(space + 1);
            if (!next("bytes", fields) || fields.empty()) return fail(file, "bad bytes line");
            for (const std::string& b : fields) {
                uint8_t value = 0;
                if (!parseNumber(b, value)) return fail(file, "bad byte " + b);
                state.bytes.push_back(value);
            }
            if (!next("regs", fields) || fields.size() != kRegisterCount) return fail(file, "bad regs line");
            for (size_t r = 0; r < kRegisterCount; ++r)
                if (!parseNumber(fields[r], state.initial[r])) return fail(file, "bad register " + fields[r]);
            if (!next("ram", fields) || !parseRam(fields, state.initialRam)) return fail(file, "bad ram line");
            if (!next("final", fields) || !parseFinalRegisters(fields, state)) return fail(file, "bad final line");
            if (!next("finalram", fields) || !parseRam(fields, state.finalRam)) return fail(file, "bad finalram line");
            if (!next("mask", fields) || fields.size() != 1 || !parseNumber(fields[0], state.flagsMask))
                return fail(file, "bad mask line");
            file.tests.push_back(std::move(state));
        }
        return file;
    }

private:
    // The next line that is not a comment; false at the end of the file.
    bool nextLine(std::string& line) {
        while (std::getline(in_, line)) {
            ++lineNumber_;
            if (!line.starts_with('#')) return true;
        }
        return false;
    }

    bool next(const std::string& keyword, std::vector<std::string>& fields) {
        std::string line;
        if (!nextLine(line)) return false;
        fields = words(line);
        if (fields.empty() || fields[0] != keyword) return false;
        fields.erase(fields.begin());
        return true;
    }

    DataFile& fail(DataFile& file, const std::string& what) {
        file.error = "line " + std::to_string(lineNumber_) + ": " + what;
        return file;
    }

    std::ifstream in_;
    int lineNumber_ = 0;
};

// ---- Running a test

std::string hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

std::string bytesText(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes) text += (text.empty() ? "" : " ") + hex(b, 2);
    return text;
}

// The names of the flags that two FLAGS words disagree on.
std::string flagNames(uint16_t differing) {
    static const std::array<const char*, 16> kNames = {"CF", "bit1", "PF", "bit3", "AF", "bit5", "ZF", "SF",
                                                       "TF", "IF", "DF", "OF", "bit12", "bit13", "bit14", "bit15"};
    std::string text;
    for (int bit = 0; bit < 16; ++bit)
        if (differing >> bit & 1) text += (text.empty() ? "" : " ") + std::string(kNames[bit]);
    return text;
}

// The bits of AX that IN leaves to the port: the recording bus answered FF, velkor's ports answer
// 0 or the sound board's value, so only the rest of the state is compared.
uint16_t portReadBits(const std::string& file) {
    if (file == "E4" || file == "EC") return 0x00FF;
    if (file == "E5" || file == "ED") return 0xFFFF;
    return 0;
}

// A string instruction may get a whole run of bytes wrong: the first few tell.
constexpr int kBytesShown = 8;

// Puts the machine into the test's initial state. The memory image is all zero outside the bytes
// the test lists (the previous test's bytes are cleared after it).
void load(Cpu& cpu, const HardwareState& state) {
    for (size_t r = 0; r < kFlags; ++r) cpu.*kRegisterMembers[r] = state.initial[r];
    unpackFlags(cpu, state.initial[kFlags]);
    cpu.segOverride = cpu.repPrefix = cpu.repnzPrefix = cpu.stopRequested = 0;
    for (const RamByte& b : state.initialRam) cpu.memory[b.address] = b.value;
}

// Zeroes the test's bytes again and reports any other byte that is no longer zero: the recorded
// bytes are every byte the processor touched, so anything else was written by mistake.
std::string clearMemory(Cpu& cpu, const HardwareState& state) {
    for (const RamByte& b : state.initialRam) cpu.memory[b.address] = 0;
    for (const RamByte& b : state.finalRam) cpu.memory[b.address] = 0;
    constexpr uint32_t kPage = 4096;
    static const std::array<uint8_t, kPage> kZeros{};
    std::string report;
    int stray = 0;
    for (uint32_t page = 0; page < kMemorySize; page += kPage) {
        if (std::memcmp(&cpu.memory[page], kZeros.data(), kPage) == 0) continue;
        for (uint32_t a = page; a < page + kPage; ++a) {
            if (cpu.memory[a] == 0) continue;
            if (++stray <= kBytesShown)
                report += "  [" + hex(a, 5) + "]: written " + hex(cpu.memory[a], 2) + ", not recorded\n";
            cpu.memory[a] = 0;
        }
    }
    if (stray > kBytesShown) report += "  ... " + std::to_string(stray) + " bytes written outside the record\n";
    return report;
}

// The differences between the machine after its step and the recorded final state, one line each
// (none when the test passes). Leaves the memory image all zero again.
std::string differences(Cpu& cpu, const HardwareState& state, uint16_t portBits) {
    std::string report;
    for (size_t r = 0; r < kFlags; ++r) {
        const uint16_t ignored = r == kAx ? portBits : 0;
        const uint16_t expected = state.final[r].value_or(state.initial[r]) & ~ignored;
        const uint16_t actual = cpu.*kRegisterMembers[r] & ~ignored;
        if (expected != actual)
            report += "  " + std::string(kRegisterNames[r]) + ": expected " + hex(expected, 4) + ", got " +
                      hex(actual, 4) + "\n";
    }
    const uint16_t expectedFlags = state.final[kFlags].value_or(state.initial[kFlags]) & state.flagsMask;
    const uint16_t actualFlags = packFlags8086(cpu) & state.flagsMask;
    if (expectedFlags != actualFlags)
        report += "  flags & " + hex(state.flagsMask, 4) + ": expected " + hex(expectedFlags, 4) + ", got " +
                  hex(actualFlags, 4) + " (" + flagNames(expectedFlags ^ actualFlags) + ")\n";
    int wrong = 0;
    for (const RamByte& b : state.finalRam)
        if (cpu.memory[b.address] != b.value && ++wrong <= kBytesShown)
            report += "  [" + hex(b.address, 5) + "]: expected " + hex(b.value, 2) + ", got " +
                      hex(cpu.memory[b.address], 2) + "\n";
    if (wrong > kBytesShown) report += "  ... " + std::to_string(wrong) + " recorded bytes differ in all\n";

    report += clearMemory(cpu, state);
    return report;
}

// ---- The cases

std::vector<std::string> dataFileNames() {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(kDataDir)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(kDataDir))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HardwareStateFiles, EveryConvertedFileIsThere) {
    const std::vector<std::string> names = dataFileNames();
    EXPECT_EQ(names.size(), kDataFiles);
    size_t tests = 0;
    for (const std::string& name : names) {
        std::ifstream in(kDataDir / (name + ".txt"));
        std::string line;
        while (std::getline(in, line) && line.starts_with('#')) {}
        size_t count = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "count %zu", &count), 1) << name;
        tests += count;
    }
    EXPECT_EQ(tests, kDataTests);
}

class HardwareStates : public ::testing::TestWithParam<std::string> {};

TEST_P(HardwareStates, OneStepReachesTheRecordedState) {
    const std::string& file = GetParam();
    const DataFile data = StateReader(kDataDir / (file + ".txt")).read();
    ASSERT_EQ(data.error, "") << file << ".txt";
    ASSERT_EQ(data.tests.size(), data.declaredCount) << file << ".txt holds fewer or more tests than its count";
    ASSERT_GT(data.tests.size(), 0u);

    // Each state runs through the step, and again through the run loop with a limit of one
    // instruction, which takes decoded instructions; one machine serves every state, so the
    // decoded instructions also have to notice each state's new bytes.
    Cpu cpu;  // its memory image starts all zero
    cpu.mode = CpuMode::exact;
    const uint16_t portBits = portReadBits(file);
    constexpr int kShown = 3;
    int failures = 0;
    std::string report;
    for (const bool throughRunLoop : {false, true}) {
        cpu.textWanted = throughRunLoop ? 0 : 1;
        for (const HardwareState& state : data.tests) {
            load(cpu, state);
            if (throughRunLoop) {
                runUntil(cpu, RunStops{~0u, false, 1});
            } else {
                step(cpu);
            }
            const std::string found = differences(cpu, state, portBits);
            if (found.empty()) continue;
            if (++failures <= kShown)
                report += std::string(throughRunLoop ? "run loop, " : "step, ") + "test " + state.number + " \"" +
                          state.name + "\" (" + bytesText(state.bytes) + "), velkor: \"" + cpu.asmText + "\"\n" + found;
        }
    }
    if (failures > 0)
        ADD_FAILURE() << file << ".txt: " << failures << " of " << data.tests.size()
                      << " tests differ from the recorded states; the first " << std::min(failures, kShown)
                      << ":\n"
                      << report;
}

// "80.1" becomes "80_1": test names take letters, digits and underscores only.
std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Sst8086, HardwareStates, ::testing::ValuesIn(dataFileNames()), caseName);

}  // namespace
