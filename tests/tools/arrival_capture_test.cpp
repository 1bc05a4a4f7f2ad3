// velkor-device's VGM capture: header fields, waits computed from arrival times, the tail and the
// end mark.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "tools/device/arrival_capture.h"
#include "tools/vgm_test_reader.h"

namespace {

using capture::Bank;
using device::ArrivalCapture;

constexpr double kSample = 1.0 / 44100;

class VgmCapture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writer.openVgm(path)); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Finishes the capture and reads it back.
    VgmContents finish(double endSeconds) {
        EXPECT_TRUE(writer.finish(endSeconds));
        file = readFile(path);
        auto vgm = readVgm(file);
        EXPECT_TRUE(vgm.has_value());
        return vgm.value_or(VgmContents{});
    }

    std::string dir = makeTempDir();
    std::string path = dir + "/capture.vgm";
    ArrivalCapture writer;
    std::string file;
};

TEST_F(VgmCapture, HeaderDescribesTheStream) {
    writer.addWrite(5.0, Bank::A0, 0x28, 0xF0);
    writer.addWrite(5.5, Bank::A1, 0x29, 0x80);
    const VgmContents vgm = finish(5.75);

    std::string expected(0x80, '\0');
    auto word = [&](size_t offset, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) expected[offset + i] = static_cast<char>(value >> (8 * i));
    };
    expected.replace(0, 4, "Vgm ");
    word(0x04, static_cast<uint32_t>(file.size() - 4));
    word(0x08, 0x151);
    word(0x18, 33075);  // 0.75 s
    word(0x34, 0x4C);
    word(0x48, 7987200);
    EXPECT_EQ(vgm.header, expected);
    EXPECT_EQ(vgm.samples, 33075u);
    EXPECT_EQ(0x80 + vgm.data.size(), file.size());
    // The first write starts the capture; reset requests never reach the writer.
    EXPECT_EQ(vgm.writes, (std::vector<VgmWrite>{{0, 0, 0x28, 0xF0}, {22050, 1, 0x29, 0x80}}));
}

TEST_F(VgmCapture, AnEmptyCaptureIsJustTheHeaderAndTheEndMark) {
    const VgmContents vgm = finish(30.0);
    EXPECT_EQ(file.size(), 0x81u);
    EXPECT_EQ(vgmWord(file, 0x04), 0x7Du);
    EXPECT_EQ(vgmWord(file, 0x18), 0u);
    EXPECT_EQ(vgm.data, "\x66");
}

// The exact command bytes between writes for arrivals at chosen sample distances.
TEST_F(VgmCapture, WaitsUseTheShortestCommands) {
    const std::vector<std::pair<uint32_t, std::string>> gaps = {
        {0, ""},
        {1, "\x70"},
        {16, "\x7F"},
        {17, std::string("\x7F\x70")},
        {32, "\x7F\x7F"},
        {33, std::string("\x61\x21\x00", 3)},
        {735, "\x62"},
        {882, "\x63"},
        {1000, std::string("\x61\xE8\x03", 3)},
        {65535, "\x61\xFF\xFF"},
        {70000, "\x61\xFF\xFF\x61\x71\x11"},
    };
    std::string expected;
    uint32_t at = 0;
    for (const auto& [gap, bytes] : gaps) {
        at += gap;
        writer.addWrite(at * kSample, Bank::A0, 0x10, 0x20);
        expected += bytes + "\x56\x10\x20";
    }
    const VgmContents vgm = finish(at * kSample);
    EXPECT_EQ(vgm.data, expected + "\x66");
    EXPECT_EQ(vgm.samples, at);
}

// Each arrival is rounded from the origin, so fractions of a sample do not pile up.
TEST_F(VgmCapture, ArrivalsRoundToTheNearestSampleFromTheStart) {
    for (double samples : {0.0, 0.6, 1.2, 1.8, 2.4, 100.49, 100.51}) {
        writer.addWrite(100.0 + samples * kSample, Bank::A1, 0x00, 0x00);
    }
    const VgmContents vgm = finish(100.0 + 100.51 * kSample);
    std::vector<uint32_t> positions;
    for (const VgmWrite& w : vgm.writes) positions.push_back(w.sample);
    EXPECT_EQ(positions, (std::vector<uint32_t>{0, 1, 1, 2, 2, 100, 101}));
}

// The capture ends at the device's end, but keeps at most one second after the last write.
TEST_F(VgmCapture, TheTailIsCutAfterOneSecond) {
    writer.addWrite(2.0, Bank::A0, 0x28, 0x00);
    writer.addWrite(3.0, Bank::A0, 0x28, 0xF0);
    EXPECT_EQ(finish(60.0).samples, 88200u);
}

TEST_F(VgmCapture, AnEarlyEndKeepsOnlyTheTimeUntilThen) {
    writer.addWrite(2.0, Bank::A0, 0x28, 0xF0);
    EXPECT_EQ(finish(2.5).samples, 22050u);
}

TEST(ArrivalCapture, ReportsAFileThatCannotBeCreated) {
    ArrivalCapture writer;
    EXPECT_FALSE(writer.openVgm("/nonexistent/velkor-device/capture.vgm"));
    EXPECT_FALSE(writer.openS98("/nonexistent/velkor-device/capture.s98"));
}

}  // namespace
