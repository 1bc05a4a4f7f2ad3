// The capture writers on their own: the S98 and VGM bytes for writes and time, the tick timeline,
// a file that is valid after every flush, the format's size limit and a write that fails.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "capture/tick_capture.h"
#include "support/child_process.h"
#include "support/guest_image.h"
#include "support/s98_test_reader.h"
#include "tools/vgm_test_reader.h"

namespace {

using capture::Bank;
using capture::Format;
using capture::Status;
using capture::TickCapture;

class CaptureWriters : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const char* name) const { return dir + "/" + name; }
    std::string dir = makeTempDir();
};

TEST_F(CaptureWriters, S98HeaderDeviceAndTag) {
    TickCapture capture;
    ASSERT_TRUE(capture.open(path("a.s98"), Format::s98, 7, "driver.bin"));
    EXPECT_EQ(capture.registerWrite(Bank::A0, 0x28, 0xF0), Status::ok);
    ASSERT_TRUE(capture.finish());
    const std::string file = readFile(path("a.s98"));
    const auto s98 = readS98(file);
    ASSERT_TRUE(s98.has_value());
    EXPECT_EQ(s98->timerNumerator, 7u);  // one SYNC is one 7 ms tick
    EXPECT_EQ(s98->timerDenominator, 1000u);
    EXPECT_EQ(s98->deviceCount, 1u);
    EXPECT_EQ(s98->deviceType, 4u);  // OPNA
    EXPECT_EQ(s98->deviceClock, 7987200u);
    EXPECT_EQ(s98->loopOffset, 0u);
    EXPECT_EQ(s98->dumpOffset, 0x30u);
    EXPECT_EQ(s98->dump, std::string("\x00\x28\xF0\xFD", 4));
    EXPECT_EQ(s98->tagOffset, s98->endOffset + 1);
    EXPECT_TRUE(s98->tagHasBom);
    EXPECT_EQ(s98->tags, (std::map<std::string, std::string>{{"title", "driver.bin"}, {"system", "PC-9801"}}));
    EXPECT_EQ(file.back(), '\0');  // the tag block ends the file
}

// The SYNC commands between two writes for runs of ticks: FF for one, FE with the count less 2
// in 7-bit groups, low group first, for more; a run too long for four groups is split.
TEST_F(CaptureWriters, S98TickRunsUseTheShortestCommands) {
    const uint64_t longest = (uint64_t{1} << 28) + 1;
    const std::vector<std::pair<uint64_t, std::string>> runs = {
        {0, ""},
        {1, "\xFF"},
        {2, std::string("\xFE\x00", 2)},
        {3, "\xFE\x01"},
        {129, "\xFE\x7F"},
        {130, "\xFE\x80\x01"},
        {longest, "\xFE\xFF\xFF\xFF\x7F"},
        {longest + 1, "\xFE\xFF\xFF\xFF\x7F\xFF"},
    };
    capture::S98Writer writer;
    ASSERT_TRUE(writer.open(path("runs.s98"), 5, 1000, {}));
    std::string expected;
    uint64_t total = 0;
    for (const auto& [ticks, bytes] : runs) {
        writer.sync(ticks);
        total += ticks;
        EXPECT_EQ(writer.write(Bank::A1, 0x10, 0x80), Status::ok);
        expected += bytes + std::string("\x01\x10\x80", 3);
    }
    ASSERT_TRUE(writer.finish());
    const auto s98 = readS98(readFile(path("runs.s98")));
    ASSERT_TRUE(s98.has_value());
    EXPECT_EQ(s98->dump, expected + "\xFD");
    EXPECT_EQ(s98->syncs, total);
}

// Tick n sits at round(n * ms * 44100 / 1000), halves up, computed from n and not from the gaps.
TEST(TickTimeline, VgmSamplePositionOfATick) {
    struct Case {
        uint64_t tick;
        uint32_t ms;
        uint64_t sample;
    };
    for (const Case& c : {Case{0, 5, 0}, Case{1, 5, 221}, Case{2, 5, 441}, Case{1000, 5, 220500}, Case{1, 1, 44},
                          Case{5, 1, 221}, Case{10, 1, 441}, Case{3, 7, 926}, Case{97391, 1, 4294943},
                          Case{1486, 65535, 4294678941ull}}) {
        EXPECT_EQ(capture::vgmSampleOfTick(c.tick, c.ms), c.sample) << c.tick << " ticks of " << c.ms << " ms";
    }
}

// k writes, n ticks, k writes: the second burst sits exactly n ticks later in both formats.
TEST_F(CaptureWriters, ABurstAfterTicksSitsAtTheirTime) {
    for (const uint32_t ticks : {1u, 3u, 1000u}) {
        TickCapture s98;
        TickCapture vgm;
        ASSERT_TRUE(s98.open(path("t.s98"), Format::s98, 5, "t"));
        ASSERT_TRUE(vgm.open(path("t.vgm"), Format::vgm, 5, "t"));
        for (TickCapture* capture : {&s98, &vgm}) {
            for (uint8_t r = 0; r < 3; ++r) capture->registerWrite(Bank::A0, r, r);
            for (uint32_t i = 0; i < ticks; ++i) capture->tick();
            for (uint8_t r = 0; r < 3; ++r) capture->registerWrite(Bank::A1, r, r);
            ASSERT_TRUE(capture->finish());
            EXPECT_EQ(capture->counts().ticks, ticks);
            EXPECT_EQ(capture->counts().writesA0, 3u);
            EXPECT_EQ(capture->counts().writesA1, 3u);
        }
        const auto s98File = readS98(readFile(path("t.s98")));
        const auto vgmFile = readVgm(readFile(path("t.vgm")));
        ASSERT_TRUE(s98File && vgmFile);
        ASSERT_EQ(s98File->writes.size(), 6u);
        ASSERT_EQ(vgmFile->writes.size(), 6u);
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(s98File->writes[i].sync, i < 3 ? 0 : ticks);
            EXPECT_EQ(vgmFile->writes[i].sample, i < 3 ? 0 : capture::vgmSampleOfTick(ticks, 5));
        }
    }
}

// Ticks after the last write are music too (the notes' release): the file ends after them.
TEST_F(CaptureWriters, TicksAfterTheLastWriteAreKept) {
    TickCapture s98;
    TickCapture vgm;
    ASSERT_TRUE(s98.open(path("tail.s98"), Format::s98, 5, ""));
    ASSERT_TRUE(vgm.open(path("tail.vgm"), Format::vgm, 5, ""));
    for (TickCapture* capture : {&s98, &vgm}) {
        capture->registerWrite(Bank::A0, 0x28, 0x00);
        for (int i = 0; i < 200; ++i) capture->tick();
        ASSERT_TRUE(capture->finish());
        EXPECT_DOUBLE_EQ(capture->seconds(), 1.0);
    }
    EXPECT_EQ(readS98(readFile(path("tail.s98")))->syncs, 200u);
    const std::string vgmFile = readFile(path("tail.vgm"));
    EXPECT_EQ(readVgm(vgmFile)->samples, 44100u);
    EXPECT_EQ(vgmWord(vgmFile, 0x18), 44100u);
    EXPECT_EQ(vgmWord(vgmFile, 0x04), vgmFile.size() - 4);
}

// A flush writes out what is there, never the time still pending, so the bytes do not depend on
// when the prompt came; and the file on disk is complete after each flush.
TEST_F(CaptureWriters, FlushesLeaveAValidFileAndDoNotChangeTheBytes) {
    for (const Format format : {Format::s98, Format::vgm}) {
        TickCapture flushed;
        TickCapture straight;
        ASSERT_TRUE(flushed.open(path("flushed"), format, 5, "x"));
        ASSERT_TRUE(straight.open(path("straight"), format, 5, "x"));
        for (TickCapture* capture : {&flushed, &straight}) {
            for (int round = 0; round < 3; ++round) {
                capture->registerWrite(Bank::A0, 0x30, static_cast<uint8_t>(round));
                capture->tick();
                if (capture == &flushed) {
                    ASSERT_TRUE(capture->flush());
                    const std::string now = readFile(path("flushed"));
                    if (format == Format::s98) {
                        const auto s98 = readS98(now);
                        ASSERT_TRUE(s98.has_value());
                        EXPECT_EQ(s98->writes.size(), static_cast<size_t>(round + 1));
                    } else {
                        const auto vgm = readVgm(now);
                        ASSERT_TRUE(vgm.has_value());
                        EXPECT_EQ(vgm->writes.size(), static_cast<size_t>(round + 1));
                        EXPECT_EQ(vgmWord(now, 0x18), vgm->samples);
                        EXPECT_EQ(vgmWord(now, 0x04), now.size() - 4);
                    }
                }
                capture->tick();
            }
            ASSERT_TRUE(capture->finish());
        }
        EXPECT_EQ(readFile(path("flushed")), readFile(path("straight")));
    }
}

// At the format's limit the capture refuses what does not fit and stays a complete file.
TEST_F(CaptureWriters, AFullFileRefusesMoreAndStaysValid) {
    for (const Format format : {Format::s98, Format::vgm}) {
        TickCapture capture;
        ASSERT_TRUE(capture.open(path("full"), format, 5, ""));
        const uint64_t head = format == Format::s98 ? 0x30 : 0x80;
        const uint64_t trailer = readFile(path("full")).size() - head;
        capture.file().setLimit(head + 10 * 3 + trailer);  // room for ten writes
        Status status = Status::ok;
        int accepted = 0;
        for (int i = 0; i < 20 && status == Status::ok; ++i) {
            status = capture.registerWrite(Bank::A0, 0x40, static_cast<uint8_t>(i));
            if (status == Status::ok) ++accepted;
        }
        EXPECT_EQ(status, Status::full);
        EXPECT_EQ(accepted, 10);
        EXPECT_EQ(capture.counts().writesA0, 10u);
        EXPECT_TRUE(capture.finish());
        const std::string file = readFile(path("full"));
        const size_t writes = format == Format::s98 ? readS98(file)->writes.size() : readVgm(file)->writes.size();
        EXPECT_EQ(writes, 10u);
    }
}

// VGM's sample count is 32 bits: a tick past it is refused, the time stays where it was.
TEST_F(CaptureWriters, VgmRefusesATickPastTheSampleCount) {
    TickCapture capture;
    ASSERT_TRUE(capture.open(path("long.vgm"), Format::vgm, 65535, ""));
    Status status = Status::ok;
    while (status == Status::ok) status = capture.tick();
    EXPECT_EQ(status, Status::full);
    EXPECT_EQ(capture.counts().ticks, 1486u);  // the last tick that fits
    ASSERT_TRUE(capture.finish());
    const std::string file = readFile(path("long.vgm"));
    EXPECT_EQ(vgmWord(file, 0x18), capture::vgmSampleOfTick(1486, 65535));
    EXPECT_EQ(readVgm(file)->samples, capture::vgmSampleOfTick(1486, 65535));
}

// A write that fails (here the process's file-size limit, as a full disk would) stops the file
// where the last good flush left it, complete and valid.
TEST_F(CaptureWriters, AFailedWriteLeavesTheLastGoodFile) {
    for (const Format format : {Format::s98, Format::vgm}) {
        const std::string file = path(format == Format::s98 ? "limit.s98" : "limit.vgm");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            TickCapture capture;
            if (!capture.open(file, format, 5, "limit")) _exit(10);
            capture.registerWrite(Bank::A0, 0x28, 0xF0);
            capture.tick();
            if (!capture.flush()) _exit(11);
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            Status status = Status::ok;
            for (int i = 0; i < 100000 && status == Status::ok; ++i) status = capture.registerWrite(Bank::A1, 0, 0);
            if (status != Status::failed || capture.error() != EFBIG) _exit(12);
            // What the file holds is reported, not what was taken before the failure.
            if (capture.counts().writesA0 != 1 || capture.counts().writesA1 != 0) _exit(14);
            _exit(capture.finish() ? 13 : 0);
        }
        int exitStatus = 0;
        ASSERT_EQ(waitpid(child, &exitStatus, 0), child);
        ASSERT_TRUE(WIFEXITED(exitStatus));
        EXPECT_EQ(WEXITSTATUS(exitStatus), 0);
        const std::string bytes = readFile(file);
        if (format == Format::s98) {
            const auto s98 = readS98(bytes);
            ASSERT_TRUE(s98.has_value());
            EXPECT_EQ(s98->writes, (std::vector<S98Write>{{0, 0, 0x28, 0xF0}}));
        } else {
            const auto vgm = readVgm(bytes);
            ASSERT_TRUE(vgm.has_value());
            EXPECT_EQ(vgm->writes, (std::vector<VgmWrite>{{0, 0, 0x28, 0xF0}}));
        }
    }
}

TEST(CaptureFormat, ComesFromTheExtensionInAnyCase) {
    EXPECT_EQ(capture::formatOf("song.s98"), Format::s98);
    EXPECT_EQ(capture::formatOf("SONG.S98"), Format::s98);
    EXPECT_EQ(capture::formatOf("dir.x/song.Vgm"), Format::vgm);
    EXPECT_EQ(capture::formatOf(".vgm"), Format::vgm);
    for (const char* name : {"song.vgz", "song.s98.txt", "s98", "songs98", "song.", ""}) {
        EXPECT_FALSE(capture::formatOf(name).has_value()) << name;
    }
}

TEST_F(CaptureWriters, AFileThatCannotBeCreatedIsReported) {
    TickCapture capture;
    EXPECT_FALSE(capture.open(path("missing/dir/x.s98"), Format::s98, 5, ""));
    EXPECT_FALSE(capture.open(path("missing/dir/x.vgm"), Format::vgm, 5, ""));
}

}  // namespace
