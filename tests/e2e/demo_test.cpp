// The demo FM driver (demo/demo.bin) played by the real binary: what it writes to the sound board,
// when it keys its notes on and off, and how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

const std::string kSourceDir = VELKOR_SOURCE_DIR;

const char kTitle[] = "velkor demo: a short tune for the YM2608\r\n";
const char kClosing[] = "tune finished, all voices keyed off\r\n";
const char kNoBoard[] = "no PC-9801-86 sound board found (port A460h did not answer 41h)\r\n";
const char kTerminated[] = "terminate a process\n";

constexpr int kTuneTicks = 1600;  // five bars of 320 ticks

std::string demoImage() { return readFile(kSourceDir + "/demo/demo.bin"); }

// Offset of the first occurrence of bytes in the image; fails the test when they are missing.
size_t offsetOf(const std::string& image, const std::string& bytes) {
    const size_t at = image.find(bytes);
    EXPECT_NE(at, std::string::npos) << "byte pattern not in the demo image";
    return at;
}

// Runs velkor in a fresh folder holding image as noname.bin; returns its output and the port log.
struct DemoRun {
    RunResult result;
    std::string portLog;
};

DemoRun runDemo(const std::string& image, const std::string& commands) {
    const std::string dir = makeTempDir();
    std::ofstream(dir + "/noname.bin", std::ios::binary) << image;
    DemoRun run{runVelkor({}, commands, noDeviceEnv(), dir), ""};
    run.portLog = readFile(dir + "/iow.txt");
    std::filesystem::remove_all(dir);
    return run;
}

std::string loadLine(const std::string& image) {
    char text[80];
    std::snprintf(text, sizeof text, ">load file comp.[noname.bin][%zu(%08zx)]\n", image.size(), image.size());
    return text;
}

// One register write: bank 0 (A0) or 1 (A1), register, value, and the tick it happened at.
struct Write {
    int bank;
    int reg;
    int value;
    int tick = 0;
};

// The register writes echoed on the console ("A0[rr]<-[vv]" lines), in order.
std::vector<Write> echoedWrites(const std::string& out) {
    std::vector<Write> writes;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        int bank = 0;
        unsigned reg = 0;
        unsigned value = 0;
        if (std::sscanf(line.c_str(), "A%1d[%2x]<-[%2x]", &bank, &reg, &value) == 3)
            writes.push_back({bank, static_cast<int>(reg), static_cast<int>(value)});
    }
    return writes;
}

// The register writes of a port log, each stamped with the number of timer-flag reads before it:
// the driver reads port 0188 once per tick, right after its WAIT.
std::vector<Write> loggedWrites(const std::string& log) {
    std::vector<Write> writes;
    std::map<unsigned, int> latch;
    int tick = 0;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned port = 0;
        unsigned value = 0;
        if (line == "0188") {
            ++tick;
        } else if (std::sscanf(line.c_str(), "%4x <- %2x", &port, &value) == 2) {
            if (port == 0x188 || port == 0x18C) latch[port] = static_cast<int>(value);
            if (port == 0x18A || port == 0x18E)
                writes.push_back({port == 0x18A ? 0 : 1, latch[port - 2], static_cast<int>(value), tick});
        }
    }
    return writes;
}

std::string joined(const std::vector<Write>& writes, size_t from, size_t count) {
    std::string text;
    for (size_t i = from; i < from + count && i < writes.size(); ++i) {
        char line[20];
        std::snprintf(line, sizeof line, "A%d[%02x]<-[%02x]\n", writes[i].bank, writes[i].reg, writes[i].value);
        text += line;
    }
    return text;
}

// The writes that key a part on and off: register 28h of bank A0 for an FM channel code, the level
// register of an SSG channel.
struct PartKeys {
    const char* name;
    int reg;      // 0x28, or 0x08 for SSG channel A
    int channel;  // FM channel code (value bits 2-0); -1 for the SSG
    int gap;      // ticks between a key-off and the next key-on
};

const PartKeys kMelody{"melody", 0x28, 0, 4};
const PartKeys kBass{"bass", 0x28, 4, 6};
const PartKeys kSsg{"ssg", 0x08, -1, 10};

struct KeyEvent {
    int tick;
    bool on;
};

std::vector<KeyEvent> keyEvents(const std::vector<Write>& writes, const PartKeys& part) {
    std::vector<KeyEvent> events;
    for (const Write& w : writes) {
        if (w.bank != 0 || w.reg != part.reg) continue;
        if (part.channel >= 0 && (w.value & 7) != part.channel) continue;
        events.push_back({w.tick, (w.value & 0xF0) != 0 || (part.channel < 0 && w.value != 0)});
    }
    return events;
}

std::vector<int> keyOnTicks(const std::vector<KeyEvent>& events) {
    std::vector<int> ticks;
    for (const KeyEvent& e : events)
        if (e.on) ticks.push_back(e.tick);
    return ticks;
}

size_t firstIndexOf(const std::vector<Write>& writes, int bank, int reg, int value) {
    for (size_t i = 0; i < writes.size(); ++i)
        if (writes[i].bank == bank && writes[i].reg == reg && writes[i].value == value) return i;
    ADD_FAILURE() << "no write A" << bank << "[" << reg << "]<-[" << value << "]";
    return 0;
}

// Equal temperament around A4 = 440 Hz, with the YM2608's 7.9872 MHz master clock.
double noteHz(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// True when fnum is the rounded F-number of one of the twelve notes of octave `block`.
bool isNoteFnumber(int block, int fnum) {
    for (int semitone = 0; semitone < 12; ++semitone) {
        const double hz = noteHz(12 * (block - 4) + semitone - 9);
        if (std::lround(hz * 1048576.0 * 144.0 / 7987200.0 / std::pow(2.0, block - 1)) == fnum) return true;
    }
    return false;
}

// True when period is the rounded SSG tone period of a note between C0 and B8.
bool isNotePeriod(int period) {
    for (int fromA4 = -57; fromA4 < 51; ++fromA4)
        if (std::lround(7987200.0 / (64.0 * noteHz(fromA4))) == period) return true;
    return false;
}

TEST(DemoImage, IsSmallAndStartsWithTheVectorTable) {
    const std::string image = demoImage();
    ASSERT_GT(image.size(), 0x100u) << "demo/demo.bin missing under " << kSourceDir;
    EXPECT_LT(image.size(), 4096u);
    for (size_t vector = 0; vector < 0x40; ++vector)
        EXPECT_EQ(image.substr(vector * 4, 4), std::string("\x08\x00\xFF\xFF", 4)) << "vector " << vector;
}

TEST(DemoDriver, PlaysThroughBothBanksAndTheSsgAndTerminates) {
    const std::string image = demoImage();
    const DemoRun run = runDemo(image, "l\nwait 0\ndisplay\ng\nq\n");
    const std::string& out = run.result.out;
    EXPECT_EQ(run.result.status, 0);

    const std::string start = loadLine(image) + ">set wait 0 msec.\n>enable display 86io\n>" + kTitle +
                              "A0[29]<-[80]\n";  // extended mode before any other register
    EXPECT_EQ(out.substr(0, start.size()), start) << out;

    const std::vector<Write> writes = echoedWrites(out);
    // Both voices are routed to both speakers, channel 1 in bank A0 and channel 4 in bank A1.
    EXPECT_LT(firstIndexOf(writes, 0, 0xB4, 0xC0), firstIndexOf(writes, 0, 0x28, 0xF0));
    EXPECT_LT(firstIndexOf(writes, 1, 0xB4, 0xC0), firstIndexOf(writes, 0, 0x28, 0xF4));
    // SSG mixer: tone on channel A only.
    EXPECT_LT(firstIndexOf(writes, 0, 0x07, 0xBE), firstIndexOf(writes, 0, 0x08, 0x0B));

    // The first note of each part, with its frequency written just before the key-on:
    // E5 = block 5, F-number 779 (30Bh); C3 = block 3, F-number 618 (26Ah); C4 = SSG period 477 (1DDh).
    const size_t melodyOn = firstIndexOf(writes, 0, 0x28, 0xF0);
    EXPECT_EQ(joined(writes, melodyOn - 2, 3), "A0[a4]<-[2b]\nA0[a0]<-[0b]\nA0[28]<-[f0]\n");
    const size_t bassOn = firstIndexOf(writes, 0, 0x28, 0xF4);
    EXPECT_EQ(joined(writes, bassOn - 2, 3), "A1[a4]<-[1a]\nA1[a0]<-[6a]\nA0[28]<-[f4]\n");
    const size_t ssgOn = firstIndexOf(writes, 0, 0x08, 0x0B);
    EXPECT_EQ(joined(writes, ssgOn - 2, 3), "A0[00]<-[dd]\nA0[01]<-[01]\nA0[08]<-[0b]\n");

    // Before its first key-on each FM channel has all 28 operator registers (30h-9Ch, four
    // operators 4 apart) and its feedback/algorithm register set.
    for (const auto& [bank, keyOn] : {std::pair{0, 0xF0}, std::pair{1, 0xF4}}) {
        std::set<int> voiceRegisters;
        const size_t firstKeyOn = firstIndexOf(writes, 0, 0x28, keyOn);
        for (size_t i = 0; i < firstKeyOn; ++i)
            if (writes[i].bank == bank) voiceRegisters.insert(writes[i].reg);
        for (int reg = 0x30; reg < 0xA0; reg += 4) EXPECT_TRUE(voiceRegisters.count(reg)) << bank << " " << reg;
        EXPECT_TRUE(voiceRegisters.count(0xB0)) << bank;
    }

    // Every frequency written is the correctly rounded value of an equal-tempered note: the FM
    // block/F-number pairs (A4h+ch first, then A0h+ch) and the SSG tone periods (00h, then 01h).
    int fmNotes = 0;
    int ssgNotes = 0;
    std::map<int, int> high;
    for (const Write& w : writes) {
        if (w.reg == 0xA4 || (w.bank == 0 && w.reg == 0x00)) high[w.bank * 0x100 + w.reg] = w.value;
        if (w.reg == 0xA0) {
            const int blockAndHigh = high.at(w.bank * 0x100 + 0xA4);
            EXPECT_TRUE(isNoteFnumber(blockAndHigh >> 3 & 7, (blockAndHigh & 7) << 8 | w.value))
                << "A" << w.bank << " a4=" << blockAndHigh << " a0=" << w.value;
            ++fmNotes;
        }
        if (w.bank == 0 && w.reg == 0x01) {
            EXPECT_TRUE(isNotePeriod((w.value & 0x0F) << 8 | high.at(0x00))) << w.value << " " << high.at(0x00);
            ++ssgNotes;
        }
    }
    EXPECT_GE(fmNotes, 20);
    EXPECT_GE(ssgNotes, 10);

    // Every part alternates key-on and key-off and ends silent.
    for (const PartKeys& part : {kMelody, kBass, kSsg}) {
        const std::vector<KeyEvent> events = keyEvents(writes, part);
        ASSERT_FALSE(events.empty()) << part.name;
        EXPECT_FALSE(events.back().on) << part.name;
        for (size_t i = 1; i < events.size(); ++i)
            EXPECT_FALSE(events[i].on && events[i - 1].on) << part.name << " keyed on twice at write " << i;
        EXPECT_GE(keyOnTicks(events).size(), 10u) << part.name;
    }

    // The end: everything silent, the closing line, DOS terminate, and the run stops right after
    // the INT 21h that follows MOV AX,4C00.
    const size_t terminateAt = offsetOf(image, std::string("\xB8\x00\x4C\xCD\x21", 5)) + 5;
    char stop[64];
    std::snprintf(stop, sizeof stop, "ip:%04zx", terminateAt);
    char next[32];
    std::snprintf(next, sizeof next, "\n0000:%04zx  ", terminateAt);
    const std::string end = std::string("A0[28]<-[00]\nA0[28]<-[04]\nA0[08]<-[00]\nA0[08]<-[00]\nA0[09]<-[00]\n"
                                        "A0[0a]<-[00]\n") +
                            kClosing + kTerminated + "ax:4c00  ";
    const size_t endAt = out.find(end);
    ASSERT_NE(endAt, std::string::npos) << out;
    const std::string display = out.substr(endAt + end.size());
    EXPECT_NE(display.find(stop), std::string::npos) << display;
    EXPECT_NE(display.find(next), std::string::npos) << display;
    EXPECT_EQ(display.substr(display.size() - 7), ">exit!\n");
}

TEST(DemoDriver, KeysNotesOnAndOffOnTheirTicks) {
    const DemoRun run = runDemo(demoImage(), "l\nwait 0\nio\ng\nq\n");
    const std::vector<Write> writes = loggedWrites(run.portLog);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().tick, kTuneTicks);  // the final silence comes on the last tick

    // Bar 1: melody in eighths and quarters, bass in quarters, SSG in eighths.
    const std::map<std::string, std::vector<int>> firstBar = {
        {kMelody.name, {0, 40, 80, 160, 200, 240}},
        {kBass.name, {0, 80, 160, 240}},
        {kSsg.name, {0, 40, 80, 120, 160, 200, 240, 280}}};

    for (const PartKeys& part : {kMelody, kBass, kSsg}) {
        std::vector<KeyEvent> events = keyEvents(writes, part);
        // Drop the silencing before the first note and after the last one.
        while (!events.empty() && !events.front().on) events.erase(events.begin());
        while (events.size() >= 2 && !events[events.size() - 2].on) events.pop_back();
        ASSERT_GE(events.size(), 2u) << part.name;

        std::vector<int> onsets = keyOnTicks(events);
        onsets.resize(std::min(onsets.size(), firstBar.at(part.name).size()));
        EXPECT_EQ(onsets, firstBar.at(part.name)) << part.name;

        // Each note is keyed off `gap` ticks before the next one starts, and the last one `gap`
        // ticks before the end of the tune.
        for (size_t i = 0; i + 1 < events.size(); i += 2) {
            ASSERT_TRUE(events[i].on && !events[i + 1].on) << part.name << " event " << i;
            const int next = i + 2 < events.size() ? events[i + 2].tick : kTuneTicks;
            EXPECT_EQ(next - events[i + 1].tick, part.gap) << part.name << " note at tick " << events[i].tick;
        }
    }
}

TEST(DemoDriver, StopsWhenTheBoardIdIsWrong) {
    // Make the driver expect another board id: CMP AL,41h after IN AL,DX becomes CMP AL,42h.
    std::string image = demoImage();
    image[offsetOf(image, "\xEC\x3C\x41") + 2] = 0x42;
    const RunResult r = runDemo(image, "l\nwait 0\ndisplay\ng\nq\n").result;
    const std::string expected =
        loadLine(image) + ">set wait 0 msec.\n>enable display 86io\n>" + kTitle + kNoBoard + kTerminated + "ax:4c00  ";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected) << r.out;
    EXPECT_EQ(r.out.find("]<-["), std::string::npos) << "no register may be written";
}

}  // namespace
