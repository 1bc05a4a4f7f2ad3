// The S98 and VGM readers on files built here byte by byte: headers of every version, the commands
// that are played, the ones that are skipped, and the ones that make a file corrupt or truncated;
// and where ticks fall at the output rate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/tick_capture.h"
#include "tools/render/capture_reader.h"
#include "tools/render/render_job.h"

namespace {

using render::Capture;
using render::ChipType;
using render::RegisterEvent;
using Bytes = std::vector<uint8_t>;

void put32(Bytes& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void append(Bytes& bytes, std::initializer_list<uint8_t> more) { bytes.insert(bytes.end(), more); }

// An S98 version 3 header with the given devices ({type, clock}) and the dump right after it.
Bytes s98v3(std::vector<std::pair<uint32_t, uint32_t>> devices, uint32_t numerator = 5, uint32_t denominator = 1000) {
    Bytes b = {'S', '9', '8', '3'};
    put32(b, 0x04, numerator);
    put32(b, 0x08, denominator);
    put32(b, 0x0C, 0);
    put32(b, 0x10, 0);
    put32(b, 0x18, 0);
    put32(b, 0x1C, static_cast<uint32_t>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i) {
        put32(b, 0x20 + 16 * i, devices[i].first);
        put32(b, 0x24 + 16 * i, devices[i].second);
        put32(b, 0x28 + 16 * i, 0);
        put32(b, 0x2C + 16 * i, 0);
    }
    put32(b, 0x14, static_cast<uint32_t>(std::max<size_t>(b.size(), 0x20)));
    b.resize(std::max<size_t>(b.size(), 0x20));
    return b;
}

// A VGM header of `version` with a data offset of 0x80 (from 1.50 on) and the chips' clocks.
Bytes vgm(uint32_t version, uint32_t ym2608, uint32_t ym2203 = 0) {
    Bytes b(version >= 0x150 ? 0x80 : 0x40, 0);
    b[0] = 'V', b[1] = 'g', b[2] = 'm', b[3] = ' ';
    put32(b, 0x08, version);
    if (version >= 0x150) put32(b, 0x34, 0x80 - 0x34);
    if (version >= 0x151) {
        put32(b, 0x44, ym2203);
        put32(b, 0x48, ym2608);
    }
    return b;
}

// Sets the end-of-file offset, as writers do.
Bytes finished(Bytes b) {
    if (b.size() >= 8 && b[0] == 'V') put32(b, 0x04, static_cast<uint32_t>(b.size() - 4));
    return b;
}

Capture parsed(const Bytes& bytes) {
    std::string error;
    std::optional<Capture> capture = Capture::parse(bytes, "t", error);
    EXPECT_TRUE(capture.has_value()) << error;
    if (!capture) throw std::runtime_error(error);
    return *capture;
}

std::string refusal(const Bytes& bytes) {
    std::string error;
    EXPECT_FALSE(Capture::parse(bytes, "t", error).has_value());
    return error;
}

TEST(S98Reader, VersionThreeWritesSyncsAndRunsOfSyncs) {
    Bytes b = s98v3({{4, 7987200}, {1, 4000000}});
    // FE 00 = 2 SYNCs; FE 81 01 = 0x81 + 2 = 131 SYNCs (7-bit groups, lowest first).
    append(b, {0x00, 0x29, 0x80, 0x01, 0x10, 0x1C, 0xFF, 0x02, 0x07, 0x38, 0xFE, 0x00, 0x00, 0x28, 0xF0,
               0xFE, 0x81, 0x01, 0x01, 0x00, 0x01, 0xFD, 'x'});
    const Capture capture = parsed(b);
    EXPECT_EQ(capture.info().format, render::FileFormat::s98);
    EXPECT_EQ(capture.info().version, 3);
    EXPECT_EQ(capture.info().chip, ChipType::ym2608);
    EXPECT_EQ(capture.info().clock, 7987200u);
    EXPECT_EQ(capture.info().tickNumerator, 5u);
    EXPECT_EQ(capture.info().tickDenominator, 1000u);
    EXPECT_EQ(capture.info().ticks, 1u + 2 + 131);
    EXPECT_EQ(capture.info().skipped, 1u);  // the PSG's write
    const std::vector<RegisterEvent> expected = {
        {0, 0, 0x29, 0x80}, {0, 1, 0x10, 0x1C}, {3, 0, 0x28, 0xF0}, {134, 1, 0x00, 0x01}};
    EXPECT_EQ(capture.writes(), expected);
    EXPECT_DOUBLE_EQ(capture.seconds(), 134 * 0.005);
}

TEST(S98Reader, OlderVersionsAndDefaults) {
    // Version 1: the timer in milliseconds (0 means 10), always one OPNA at 7987200 Hz.
    Bytes v1 = {'S', '9', '8', '1'};
    put32(v1, 0x04, 0);
    put32(v1, 0x08, 12345);  // not a timer field before version 2
    put32(v1, 0x0C, 0);
    put32(v1, 0x14, 0x20);
    put32(v1, 0x18, 0x20);
    put32(v1, 0x1C, 0);
    append(v1, {0xFF, 0x00, 0x30, 0x71, 0xFD});
    Capture c1 = parsed(v1);
    EXPECT_EQ(c1.info().tickNumerator, 10u);
    EXPECT_EQ(c1.info().tickDenominator, 1000u);
    EXPECT_EQ(c1.info().clock, 7987200u);
    EXPECT_TRUE(c1.info().hasLoop);
    EXPECT_EQ(c1.writes(), (std::vector<RegisterEvent>{{1, 0, 0x30, 0x71}}));

    // Version 2: device records until one of type 0; an OPN plays at its clock, bank A1 is not read.
    Bytes v2 = {'S', '9', '8', '2'};
    put32(v2, 0x04, 1);
    put32(v2, 0x08, 60);
    put32(v2, 0x0C, 0);
    put32(v2, 0x14, 0x40);
    put32(v2, 0x18, 0);
    put32(v2, 0x1C, 0);
    put32(v2, 0x20, 2);
    put32(v2, 0x24, 3993600);
    put32(v2, 0x28, 0);
    put32(v2, 0x2C, 0);
    put32(v2, 0x30, 0);
    put32(v2, 0x34, 0);
    put32(v2, 0x38, 0);
    put32(v2, 0x3C, 0);
    append(v2, {0x00, 0x28, 0x01, 0x01, 0x28, 0x01, 0xFF, 0xFD});
    Capture c2 = parsed(v2);
    EXPECT_EQ(c2.info().chip, ChipType::ym2203);
    EXPECT_EQ(c2.info().tickDenominator, 60u);
    EXPECT_EQ(c2.info().ticks, 1u);
    EXPECT_EQ(c2.info().skipped, 1u);
    EXPECT_EQ(c2.writes(), (std::vector<RegisterEvent>{{0, 0, 0x28, 0x01}}));

    // Version 3 without devices: one OPNA at 7987200 Hz, 10 ms a SYNC.
    Bytes v3 = s98v3({}, 0, 0);
    append(v3, {0xFD});
    const Capture c3 = parsed(v3);
    EXPECT_EQ(c3.info().clock, 7987200u);
    EXPECT_EQ(c3.info().tickNumerator, 10u);
    EXPECT_EQ(c3.info().ticks, 0u);
}

TEST(S98Reader, AYm2203IsPlayedByAYm2608AtTwiceItsClock) {
    Bytes b = s98v3({{2, 3993600}});
    append(b, {0xFD});
    const render::ChipSetup setup = render::chipSetup(parsed(b).info());
    EXPECT_EQ(setup.clock, 7987200u);
    EXPECT_TRUE(setup.opn);
    for (uint8_t reg : {0x00, 0x0D, 0x24, 0x27, 0x28, 0x2D, 0x30, 0xA0, 0xB0, 0xB2}) {
        EXPECT_TRUE(render::reachesChip(setup, {0, 0, reg, 0})) << int{reg};
    }
    for (uint8_t reg : {0x10, 0x1D, 0x22, 0x29, 0xB4, 0xB6}) {
        EXPECT_FALSE(render::reachesChip(setup, {0, 0, reg, 0})) << int{reg};
    }
    EXPECT_FALSE(render::reachesChip(setup, {0, 1, 0x30, 0}));
    Bytes opna = s98v3({{4, 0}});
    append(opna, {0xFD});
    const render::ChipSetup plain = render::chipSetup(parsed(opna).info());
    EXPECT_EQ(plain.clock, 7987200u);  // a clock of 0 is the device's usual clock
    EXPECT_TRUE(render::reachesChip(plain, {0, 1, 0xB4, 0}));
}

TEST(S98Reader, RefusesWhatItCannotPlay) {
    Bytes opm = s98v3({{5, 4000000}});
    append(opm, {0xFD});
    EXPECT_NE(refusal(opm).find("the first S98 device is an OPM (YM2151) (type 5)"), std::string::npos);
    Bytes ok = s98v3({{4, 7987200}});
    append(ok, {0x00, 0x28, 0x00, 0xFE, 0x05, 0xFD});
    for (size_t cut = 0; cut < ok.size(); ++cut) {
        const std::string error = refusal(Bytes(ok.begin(), ok.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_EQ(error.rfind("t: ", 0), 0u) << cut;
        if (cut >= 4) {
            EXPECT_NE(error.find("truncated"), std::string::npos) << cut << ": " << error;
        }
    }
    Bytes reserved = s98v3({{4, 7987200}});
    append(reserved, {0x80, 0xFD});
    EXPECT_EQ(refusal(reserved), "t: corrupt: reserved dump command 0x80 at offset 0x30");
    Bytes otherDevice = s98v3({{4, 7987200}});
    append(otherDevice, {0x02, 0x00, 0x00, 0xFD});
    EXPECT_NE(refusal(otherDevice).find("names device 2, but the file lists 1"), std::string::npos);
    Bytes overlong = s98v3({{4, 7987200}});
    append(overlong, {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0xFD});
    EXPECT_NE(refusal(overlong).find("overlong SYNC count"), std::string::npos);
    Bytes version = {'S', '9', '8', '4'};
    version.resize(0x40);
    EXPECT_EQ(refusal(version), "t: S98 version '4' is not supported (versions 0 to 3 are)");
    Bytes devices = s98v3({});
    put32(devices, 0x1C, 65);
    EXPECT_NE(refusal(devices).find("65 devices listed"), std::string::npos);
    Bytes compressed = s98v3({{4, 7987200}});
    put32(compressed, 0x0C, 100);
    append(compressed, {0xFD});
    EXPECT_EQ(refusal(compressed), "t: compressed S98 dumps are not supported");
    Bytes slowClock = s98v3({{4, 1000}});
    append(slowClock, {0xFD});
    EXPECT_NE(refusal(slowClock).find("clock of 1000 Hz"), std::string::npos);
}

TEST(VgmReader, PlaysTheYm2608AndSkipsEveryOtherChip) {
    Bytes b = vgm(0x171, 7987200 | 0x40000000, 0);
    append(b, {0x56, 0x29, 0x80, 0x57, 0x10, 0x1C,  // played
               0x61, 0x10, 0x01,                    // 272 samples
               0x50, 0x9F, 0x52, 0x28, 0xF0, 0xA0, 0x07, 0x38, 0xA6, 0x28, 0x01,  // PSG, YM2612, AY8910, 2nd YM2608
               0x62, 0x63, 0x70, 0x7F,              // 735 + 882 + 1 + 16
               0x67, 0x66, 0x81, 0x03, 0x00, 0x00, 0x80, 0xAA, 0xBB, 0xCC,  // a data block, size bit 31 set
               0x83,                                // a YM2612 sample, then 3 samples
               0x90, 0, 0, 0, 0, 0x91, 0, 0, 0, 0, 0x92, 0, 0, 0, 0, 0, 0x93, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
               0x94, 0, 0x95, 0, 0, 0, 0,           // DAC stream control
               0x68, 0x66, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // PCM RAM write
               0x30, 0, 0x40, 0, 0, 0xC0, 0, 0, 0, 0xE0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0,
               0x55, 0x07, 0x38,                    // a YM2203 that is not played
               0x56, 0x28, 0xF1, 0x66, 0x56, 0x28, 0x00});
    const Capture capture = parsed(finished(b));
    EXPECT_EQ(capture.info().format, render::FileFormat::vgm);
    EXPECT_EQ(capture.info().chip, ChipType::ym2608);
    EXPECT_EQ(capture.info().clock, 7987200u);
    EXPECT_EQ(capture.info().tickDenominator, 44100u);
    EXPECT_EQ(capture.info().dataBlocks, 1u);
    const uint64_t end = 272 + 735 + 882 + 1 + 16 + 3;
    EXPECT_EQ(capture.info().ticks, end);
    const std::vector<RegisterEvent> expected = {{0, 0, 0x29, 0x80}, {0, 1, 0x10, 0x1C}, {end, 0, 0x28, 0xF1}};
    EXPECT_EQ(capture.writes(), expected);
    EXPECT_EQ(capture.info().skipped, 4u + 1 + 1 + 6 + 1 + 5 + 1);
}

TEST(VgmReader, HeadersOfEveryVersion) {
    // 1.51 with only a YM2203: commands 0x55 play, 0x56 are skipped.
    Bytes opn = vgm(0x151, 0, 3993600);
    append(opn, {0x55, 0x28, 0x01, 0x56, 0x28, 0x02, 0x70, 0x66});
    const Capture c = parsed(finished(opn));
    EXPECT_EQ(c.info().chip, ChipType::ym2203);
    EXPECT_EQ(c.info().clock, 3993600u);
    EXPECT_EQ(c.writes(), (std::vector<RegisterEvent>{{0, 0, 0x28, 0x01}}));
    EXPECT_EQ(render::chipSetup(c.info()).clock, 7987200u);

    // Before 1.51 there is no YM2608 clock field, before 1.50 no data offset: the data starts at 0x40.
    Bytes old = vgm(0x110, 0);
    append(old, {0x66});
    EXPECT_EQ(refusal(finished(old)), "t: the VGM file has no YM2608 or YM2203; velkor-render plays only those");

    // A data offset that leaves the clock fields to the data: they read as 0.
    Bytes shortHeader = vgm(0x151, 7987200);
    put32(shortHeader, 0x34, 0x40 - 0x34);
    EXPECT_NE(refusal(finished(shortHeader)).find("no YM2608 or YM2203"), std::string::npos);

    // 0x40-0x4E have one operand before 1.60 and two from then on.
    Bytes v150 = vgm(0x151, 7987200);
    append(v150, {0x40, 0x00, 0x56, 0x28, 0x01, 0x66});
    EXPECT_EQ(parsed(finished(v150)).writes().size(), 1u);
    Bytes v160 = vgm(0x160, 7987200);
    append(v160, {0x40, 0x00, 0x00, 0x56, 0x28, 0x01, 0x66});
    EXPECT_EQ(parsed(finished(v160)).writes().size(), 1u);

    // Without an end-of-file offset the file's size is the end.
    Bytes noEof = vgm(0x151, 7987200);
    append(noEof, {0x62, 0x66});
    EXPECT_EQ(parsed(noEof).info().ticks, 735u);
}

TEST(VgmReader, RefusesWhatItCannotPlay) {
    Bytes ok = vgm(0x151, 7987200);
    append(ok, {0x56, 0x28, 0x01, 0x61, 0x00, 0x01, 0x67, 0x66, 0x00, 0x02, 0x00, 0x00, 0x00, 1, 2, 0x66});
    EXPECT_NO_THROW(parsed(finished(ok)));
    for (size_t cut = 4; cut < ok.size(); ++cut) {
        Bytes part(ok.begin(), ok.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_NE(refusal(part).find("truncated"), std::string::npos) << cut << ": " << refusal(part);
        EXPECT_NE(refusal(finished(part)).find("truncated"), std::string::npos) << cut;
    }
    Bytes cutAfterHeader = finished(ok);
    cutAfterHeader.resize(cutAfterHeader.size() - 1);
    EXPECT_EQ(refusal(cutAfterHeader), "t: truncated: the header says 144 bytes, the file has 143");
    Bytes unknown = vgm(0x151, 7987200);
    append(unknown, {0x62, 0x20, 0x66});
    EXPECT_EQ(refusal(finished(unknown)), "t: corrupt: unknown VGM command 0x20 at offset 0x81");
    Bytes block = vgm(0x151, 7987200);
    append(block, {0x67, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x66});
    EXPECT_NE(refusal(finished(block)).find("lacks its 0x66"), std::string::npos);
    Bytes hugeBlock = vgm(0x151, 7987200);
    append(hugeBlock, {0x67, 0x66, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x66});
    EXPECT_NE(refusal(finished(hugeBlock)).find("truncated"), std::string::npos);
    Bytes intoHeader = vgm(0x151, 7987200);
    put32(intoHeader, 0x34, 4);
    EXPECT_NE(refusal(finished(intoHeader)).find("data offset"), std::string::npos);
    EXPECT_NE(refusal({0x1F, 0x8B, 0x08, 0x00}).find("gzip-compressed"), std::string::npos);
    EXPECT_NE(refusal({'R', 'I', 'F', 'F'}).find("not an S98 or VGM file"), std::string::npos);
    EXPECT_NE(refusal({}).find("not an S98 or VGM file"), std::string::npos);
}

TEST(VgmReader, AVisitorCanStopTheWalk) {
    Bytes b = vgm(0x151, 7987200);
    append(b, {0x56, 0x28, 0x01, 0x56, 0x28, 0x02, 0x66});
    const Capture capture = parsed(finished(b));
    int seen = 0;
    EXPECT_FALSE(capture.forEachWrite([&](const RegisterEvent&) { return ++seen < 1; }));
    EXPECT_EQ(seen, 1);
    EXPECT_TRUE(capture.forEachWrite([](const RegisterEvent&) { return true; }));
}

// A tick of 5 ms is 220.5 samples at 44100 Hz: it lands where velkor's VGM capture puts it.
TEST(RenderTimeline, TicksLandOnTheFramesTheVgmCaptureUses) {
    render::CaptureInfo s98;
    s98.tickNumerator = 5;
    s98.tickDenominator = 1000;
    for (uint64_t tick = 0; tick < 100000; tick += 7) {
        EXPECT_EQ(render::frameOfTick(s98, tick, 44100), capture::vgmSampleOfTick(tick, 5)) << tick;
        EXPECT_EQ(render::frameOfTick(s98, tick, 48000), tick * 240) << tick;
    }
    render::CaptureInfo vgm;
    vgm.tickNumerator = 1;
    vgm.tickDenominator = 44100;
    EXPECT_EQ(render::frameOfTick(vgm, 352800, 48000), 384000u);
    EXPECT_EQ(render::frameOfTick(vgm, 1, 48000), 1u);     // 1.088 frames
    EXPECT_EQ(render::frameOfTick(vgm, 11025, 48000), 12000u);
    // Large numbers stay exact: 2^40 ticks of 4294967295 / 4294967291 s.
    render::CaptureInfo odd;
    odd.tickNumerator = 0xFFFFFFFF;
    odd.tickDenominator = 0xFFFFFFFB;
    const uint64_t tick = 1ull << 40;
    const unsigned __int128 exact = (static_cast<unsigned __int128>(tick) * 0xFFFFFFFF * 48000 * 2 + 0xFFFFFFFB) /
                                    (2 * static_cast<unsigned __int128>(0xFFFFFFFB));
    EXPECT_EQ(render::frameOfTick(odd, tick, 48000), static_cast<uint64_t>(exact));
}

}  // namespace
