// The v command through the real binary: captures of the demo that are the same at every wait and
// equal the stream a device receives, the timing of ticks, register 27's channel 3 mode, files
// finished by signals and the end of input, and every error.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "capture/tick_capture.h"
#include "support/child_process.h"
#include "support/fake_device.h"
#include "support/guest_image.h"
#include "support/register_streams.h"

namespace {

// The line v prints when a capture ends, from a transcript.
std::string endLine(const std::string& out) {
    const size_t at = out.find("capture end: ");
    return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) - at + 1);
}

std::string folderWithDemo() {
    const std::string dir = makeTempDir();
    std::filesystem::copy_file(std::string(VELKOR_SOURCE_DIR) + "/demo/demo.bin", dir + "/noname.bin");
    return dir;
}

// velkor started on a script that stays open, for runs that take their time.
std::unique_ptr<ChildProcess> startVelkor(const std::string& dir, const std::string& script, EnvList env = noDeviceEnv()) {
    auto child = std::make_unique<ChildProcess>(VELKOR_BINARY, std::vector<std::string>{}, env, dir);
    child->write(script);
    return child;
}

TEST(RegisterCapture, TheDemoGivesTheSameFilesAtEveryWaitAndTheStreamTheDeviceGot) {
    // At wait 5 (8 s of music each, run side by side): S98 with a device on a pseudo-terminal and
    // the port log, VGM without a device. At wait 0: both again, as fast as velkor runs.
    const std::string paced = folderWithDemo();
    const std::string pacedVgm = folderWithDemo();
    const std::string fast = folderWithDemo();
    ChildProcess device(VELKOR_DEVICE_BINARY, {"./opna", "--log", "device.log"}, {}, paced);
    ASSERT_TRUE(waitForLink(paced + "/opna"));
    auto s98Run = startVelkor(paced, "l\nio\nv demo.s98\ng\nv\nq\n",
                              {{"VELKOR_COM3", "./opna"}, {"VELKOR_COM4", "/nonexistent"}});
    auto vgmRun = startVelkor(pacedVgm, "l\nv demo.vgm\ng\nv\nq\n");
    const RunResult fastS98 = runVelkor({}, "l\nwait 0\nv demo.s98\ng\nv\nq\n", noDeviceEnv(), fast);
    const RunResult fastVgm = runVelkor({}, "l\nwait 0\nv demo.vgm\ng\nv\nq\n", noDeviceEnv(), fast);
    s98Run->closeInput();
    vgmRun->closeInput();
    EXPECT_EQ(s98Run->finish(30000), 0);
    EXPECT_EQ(vgmRun->finish(30000), 0);
    EXPECT_EQ(device.finish(10000), 0);

    const std::string s98File = readFile(paced + "/demo.s98");
    const std::string vgmFile = readFile(pacedVgm + "/demo.vgm");
    EXPECT_EQ(s98File, readFile(fast + "/demo.s98"));
    EXPECT_EQ(vgmFile, readFile(fast + "/demo.vgm"));
    const std::string demoEnd = "capture end: demo.s98, A0 writes 316, A1 writes 66, ticks 1600, 8.000 s\n";
    EXPECT_EQ(endLine(s98Run->output()), demoEnd);
    EXPECT_EQ(endLine(fastS98.out), demoEnd);
    EXPECT_EQ(endLine(fastVgm.out), "capture end: demo.vgm, A0 writes 316, A1 writes 66, ticks 1600, 8.000 s\n");

    const auto s98 = readS98(s98File);
    const auto vgm = readVgm(vgmFile);
    ASSERT_TRUE(s98 && vgm);
    const std::vector<Message> stream = messagesOf(*s98);
    ASSERT_EQ(stream.size(), 382u);
    EXPECT_EQ(stream, deviceLogMessages(readFile(paced + "/device.log")));
    EXPECT_EQ(stream, portLogWrites(readFile(paced + "/iow.txt")));
    EXPECT_EQ(stream, messagesOf(*vgm));
    // One tick is one SYNC, or 220.5 samples rounded from the start.
    EXPECT_EQ(s98->syncs, 1600u);
    EXPECT_EQ(vgm->samples, 352800u);
    for (size_t i = 0; i < stream.size(); ++i) {
        EXPECT_EQ(vgm->writes[i].sample, capture::vgmSampleOfTick(s98->writes[i].sync, 5)) << i;
    }
    EXPECT_EQ(s98->tags.at("title"), "noname.bin");
    for (const std::string& dir : {paced, pacedVgm, fast}) std::filesystem::remove_all(dir);
}

// Guest code, one instruction group at a time.
struct Guest {
    std::vector<uint8_t> code;
    Guest& write(int bank, uint8_t reg, uint8_t value) {
        const uint8_t address = bank == 0 ? 0x88 : 0x8C;
        code.insert(code.end(), {0xBA, address, 0x01, 0xB0, reg, 0xEE, 0xBA, static_cast<uint8_t>(address + 2), 0x01,
                                 0xB0, value, 0xEE});
        return *this;
    }
    Guest& waits(uint16_t count) {  // mov cx,count / wait / loop back to the wait
        code.insert(code.end(), {0xB9, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0x9B, 0xE2, 0xFD});
        return *this;
    }
    Guest& terminate() {  // mov ah,4c / int 21
        code.insert(code.end(), {0xB4, 0x4C, 0xCD, 0x21});
        return *this;
    }
    Guest& repeat() {  // jmp 0100
        const int back = 0x100 - (0x100 + static_cast<int>(code.size()) + 3);
        code.insert(code.end(), {0xE9, static_cast<uint8_t>(back), static_cast<uint8_t>(back >> 8)});
        return *this;
    }
};

std::string folderWith(const Guest& guest) {
    const std::string dir = makeTempDir();
    writeGuestImage(dir + "/noname.bin", guest.code);
    return dir;
}

// VELKOR_CAPTURE starts the capture before the first prompt, as v would, errors included.
TEST(RegisterCapture, TheEnvironmentCanStartTheCaptureBeforeThePrompt) {
    const std::string dir = folderWithDemo();
    EnvList env = noDeviceEnv();
    env.push_back({"VELKOR_CAPTURE", "session.vgm 5"});
    const RunResult r = runVelkor({}, "l\nwait 0\ng\nq\n", env, dir);
    const std::string start = "capture start: session.vgm (VGM, 5 msec per tick)\n>load file comp.[noname.bin]";
    EXPECT_EQ(r.out.substr(0, start.size()), start) << r.out;
    const std::string end = ">capture end: session.vgm, A0 writes 316, A1 writes 66, ticks 1600, 8.000 s\nexit!\n";
    ASSERT_GE(r.out.size(), end.size());
    EXPECT_EQ(r.out.substr(r.out.size() - end.size()), end) << r.out;
    EXPECT_TRUE(readVgm(readFile(dir + "/session.vgm")).has_value());

    env.back().second = "session.wav";
    EXPECT_EQ(runVelkor({}, "q\n", env, dir).out, "capture format error: name a .s98 or .vgm file.\n>exit!\n");
    std::filesystem::remove_all(dir);
}

// Three writes, n WAITs, three writes: the second burst sits exactly n ticks later.
TEST(RegisterCapture, ABurstAfterNTicksSitsAtNTicks) {
    const uint16_t ticks = 37;
    Guest guest;
    guest.write(0, 0x30, 1).write(0, 0x31, 2).write(1, 0x30, 3).waits(ticks).write(0, 0x28, 0xF0).write(1, 0x28, 4);
    guest.write(1, 0x10, 0x80).terminate();
    const std::string dir = folderWith(guest);
    const RunResult r = runVelkor({}, "l\nwait 0\nv t.s98 3\ng\nv t.vgm 7\nr ip 100\ng\nq\n", noDeviceEnv(), dir);
    EXPECT_NE(r.out.find(">capture start: t.s98 (S98, 3 msec per tick)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("capture end: t.s98, A0 writes 3, A1 writes 3, ticks 37, 0.111 s\n"
                         "capture start: t.vgm (VGM, 7 msec per tick)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(">capture end: t.vgm, A0 writes 3, A1 writes 3, ticks 37, 0.259 s\nexit!\n"),
              std::string::npos)
        << r.out;
    const auto s98 = readS98(readFile(dir + "/t.s98"));
    const auto vgm = readVgm(readFile(dir + "/t.vgm"));
    ASSERT_TRUE(s98 && vgm);
    EXPECT_EQ(s98->timerNumerator, 3u);
    EXPECT_EQ(s98->timerDenominator, 1000u);
    ASSERT_EQ(s98->writes.size(), 6u);
    ASSERT_EQ(vgm->writes.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(s98->writes[i].sync, i < 3 ? 0u : ticks);
        EXPECT_EQ(vgm->writes[i].sample, i < 3 ? 0u : 11422u);  // 37 * 7 ms = 0.259 s = 11421.9 samples
    }
    std::filesystem::remove_all(dir);
}

// Register 27: channel 3's mode bits go to the chip, timer bits cleared, once per change (and
// again after a reset); the timer bits never do. The port log keeps every guest write. fe's write
// to register 29 is a message too, and is recorded like the guest's.
TEST(RegisterCapture, Channel3ModeReachesTheDeviceOncePerChangeTheTimersNever) {
    Guest guest;
    for (uint8_t value : {0x15, 0x55, 0x5A, 0x95, 0x2A, 0x3F}) guest.write(0, 0x27, value);
    guest.terminate();
    const std::string dir = folderWith(guest);
    FakeDevice device;
    const RunResult r = runVelkor({}, "l\ndisplay\nio\nv m.s98\nfe\ng\nfr\nr ip 100\ng\nv\nq\n",
                                  {{"VELKOR_COM3", device.path()}, {"VELKOR_COM4", "/nonexistent"}}, dir);
    const std::vector<unsigned char> once = {0x0D, 0x27, 0x40, 0x0D, 0x27, 0x80, 0x0D, 0x27, 0x00};
    std::vector<unsigned char> expected = {0x00, 0x0D, 0x29, 0x80};
    expected.insert(expected.end(), once.begin(), once.end());
    expected.push_back(0x00);  // fr
    expected.insert(expected.end(), once.begin(), once.end());
    ASSERT_TRUE(device.waitForBytes(expected.size(), 3000));
    usleep(50000);
    EXPECT_EQ(device.received(), expected);
    const std::string echo = "A0[27]<-[40]\nA0[27]<-[80]\nA0[27]<-[00]\nterminate a process\n";
    EXPECT_NE(r.out.find(">" + echo), std::string::npos) << r.out;
    EXPECT_NE(r.out.rfind(">" + echo), r.out.find(">" + echo)) << r.out;
    const std::string oneRun = "0188 <- 27\n018a <- 15\n0188 <- 27\n018a <- 55\n0188 <- 27\n018a <- 5a\n"
                               "0188 <- 27\n018a <- 95\n0188 <- 27\n018a <- 2a\n0188 <- 27\n018a <- 3f\n";
    EXPECT_EQ(readFile(dir + "/iow.txt"), oneRun + oneRun);
    const auto s98 = readS98(readFile(dir + "/m.s98"));
    ASSERT_TRUE(s98.has_value());
    const std::vector<Message> modes = {{0, 0x27, 0x40}, {0, 0x27, 0x80}, {0, 0x27, 0x00}};
    std::vector<Message> twice = {{0, 0x29, 0x80}};
    twice.insert(twice.end(), modes.begin(), modes.end());
    twice.insert(twice.end(), modes.begin(), modes.end());
    EXPECT_EQ(messagesOf(*s98), twice);
    std::filesystem::remove_all(dir);
}

// A driver that plays for ever: a key-on, a tick, a key-off, a tick.
Guest endlessDriver() {
    Guest guest;
    guest.write(0, 0x28, 0xF0).waits(1).write(0, 0x28, 0x00).waits(1).repeat();
    return guest;
}

// The file is complete and says what the end line says.
void expectFinishedCapture(const std::string& file, const std::string& out) {
    const auto s98 = readS98(readFile(file));
    ASSERT_TRUE(s98.has_value()) << out;
    ASSERT_GE(s98->writes.size(), 2u) << out;
    unsigned long long a0 = 0, a1 = 0, ticks = 0;
    ASSERT_EQ(std::sscanf(endLine(out).c_str(), "capture end: s.s98, A0 writes %llu, A1 writes %llu, ticks %llu", &a0,
                          &a1, &ticks),
              3)
        << out;
    EXPECT_EQ(s98->writes.size(), a0 + a1);
    EXPECT_EQ(s98->syncs, ticks);
}

// SIGTERM and SIGHUP in the middle of g end velkor as before (by the signal), with the file done.
TEST(RegisterCapture, SignalsDuringARunFinishTheFile) {
    for (const int number : {SIGTERM, SIGHUP}) {
        const std::string dir = folderWith(endlessDriver());
        auto run = startVelkor(dir, "l\nv s.s98\ng\n");
        ASSERT_TRUE(run->readUntil("capture start", 5000));
        usleep(300000);
        run->signal(number);
        EXPECT_EQ(run->finish(10000), -1);
        EXPECT_EQ(run->endSignal(), number);
        expectFinishedCapture(dir + "/s.s98", run->output());
        std::filesystem::remove_all(dir);
    }
}

// Ctrl-C at the prompt ends velkor as before, the file done; the end of input finishes it like q.
TEST(RegisterCapture, CtrlCAtThePromptAndTheEndOfInputFinishTheFile) {
    Guest guest;
    guest.write(0, 0x28, 0xF0).waits(20).write(0, 0x28, 0x00).waits(20).terminate();
    const std::string dir = folderWith(guest);
    auto run = startVelkor(dir, "l\nwait 0\nv s.s98\ng\n");
    ASSERT_TRUE(run->readUntil("terminate a process\n", 5000));
    ASSERT_TRUE(run->readUntil("\n>", 5000));
    run->signal(SIGINT);
    EXPECT_EQ(run->finish(10000), -1);
    EXPECT_EQ(run->endSignal(), SIGINT);
    expectFinishedCapture(dir + "/s.s98", run->output());
    EXPECT_EQ(endLine(run->output()), "capture end: s.s98, A0 writes 2, A1 writes 0, ticks 40, 0.200 s\n");

    const RunResult ended = runVelkor({}, "l\nwait 0\nv s.s98\ng\n", noDeviceEnv(), dir);
    EXPECT_EQ(ended.status, 0);
    EXPECT_NE(ended.out.find(">capture end: s.s98, A0 writes 2, A1 writes 0, ticks 40, 0.200 s\nexit!\n"),
              std::string::npos)
        << ended.out;
    expectFinishedCapture(dir + "/s.s98", ended.out);
    std::filesystem::remove_all(dir);
}

// Ctrl-C during a run still only breaks the run: the capture goes on until v.
TEST(RegisterCapture, CtrlCDuringARunBreaksOnlyTheRun) {
    const std::string dir = folderWith(endlessDriver());
    auto run = startVelkor(dir, "l\nv s.s98\ng\n");
    ASSERT_TRUE(run->readUntil("capture start", 5000));
    usleep(200000);
    run->signal(SIGINT);
    ASSERT_TRUE(run->readUntil("break!\n", 5000)) << run->output();
    run->write("v\nq\n");
    run->closeInput();
    EXPECT_EQ(run->finish(10000), 0);
    expectFinishedCapture(dir + "/s.s98", run->output());
    EXPECT_NE(run->output().find(" s\n>exit!\n"), std::string::npos) << run->output();
    std::filesystem::remove_all(dir);
}

// A capture that ends during a run (here full) leaves Ctrl-C to the run: it still breaks it.
TEST(RegisterCapture, CtrlCStillBreaksARunWhoseCaptureEnded) {
    const std::string dir = folderWith(endlessDriver());
    auto run = startVelkor(dir, "l\nwait 0\nv long.vgm 65535\ng\n");
    ASSERT_TRUE(run->readUntil("capture start", 5000)) << run->output();
    usleep(500000);  // the 1486 ticks the file holds take a few milliseconds at wait 0
    run->signal(SIGINT);
    ASSERT_TRUE(run->readUntil("break!\n", 5000)) << run->output();
    EXPECT_NE(run->output().find("capture full: long.vgm"), std::string::npos) << run->output();
    run->write("q\n");
    run->closeInput();
    EXPECT_EQ(run->finish(10000), 0);
    EXPECT_TRUE(readVgm(readFile(dir + "/long.vgm")).has_value());
    std::filesystem::remove_all(dir);
}

TEST(RegisterCapture, EveryMistakeHasItsAnswer) {
    const std::string dir = makeTempDir();
    const RunResult r = runVelkor({},
                                  "v\nv song.wav\nv song\nv /nonexistent/dir/x.s98\nv x.s98 0\nv x.s98 65536\n"
                                  "v x.s98 5ms\nv x.s98 -5\nv x.s98 000007\nv a b c\nvx\nwait 70000\nv x.s98\n"
                                  "wait 0\nv a.S98\nwait 12\nv b.vgm\nv\nv\nv c.vgm 65535\nq\n",
                                  noDeviceEnv(), dir);
    EXPECT_EQ(r.out,
              ">no capture running.\n"
              ">capture format error: name a .s98 or .vgm file.\n"
              ">capture format error: name a .s98 or .vgm file.\n"
              ">file open error.\n"
              ">capture tick error: give 1 to 65535 msec.\n"
              ">capture tick error: give 1 to 65535 msec.\n"
              ">capture tick error: give 1 to 65535 msec.\n"
              ">capture tick error: give 1 to 65535 msec.\n"
              ">capture tick error: give 1 to 65535 msec.\n"
              ">illegal command request.\n"
              ">illegal command request.\n"
              ">set wait 70000 msec.\n"
              ">capture tick error: give 1 to 65535 msec.\n"
              ">set wait 0 msec.\n"
              ">capture start: a.S98 (S98, 5 msec per tick)\n"
              ">set wait 12 msec.\n"
              ">capture end: a.S98, A0 writes 0, A1 writes 0, ticks 0, 0.000 s\n"
              "capture start: b.vgm (VGM, 12 msec per tick)\n"
              ">capture end: b.vgm, A0 writes 0, A1 writes 0, ticks 0, 0.000 s\n"
              ">no capture running.\n"
              ">capture start: c.vgm (VGM, 65535 msec per tick)\n"
              ">capture end: c.vgm, A0 writes 0, A1 writes 0, ticks 0, 0.000 s\n"
              "exit!\n");
    EXPECT_TRUE(readS98(readFile(dir + "/a.S98")).has_value());
    EXPECT_TRUE(readVgm(readFile(dir + "/b.vgm")).has_value());
    EXPECT_FALSE(std::filesystem::exists(dir + "/song.wav") || std::filesystem::exists(dir + "/x.s98"));
    std::filesystem::remove_all(dir);
}

// VGM counts samples in 32 bits: at 65535 ms a tick, tick 1487 no longer fits. The capture says so,
// stops, and the file is complete; the run goes on.
TEST(RegisterCapture, AFullCaptureStopsWithAMessage) {
    Guest guest;
    guest.write(0, 0x28, 0xF0).waits(1500).write(0, 0x28, 0x00).terminate();
    const std::string dir = folderWith(guest);
    const RunResult r = runVelkor({}, "l\nwait 0\nv long.vgm 65535\ng\nv\nq\n", noDeviceEnv(), dir);
    EXPECT_NE(r.out.find(">capture full: long.vgm holds all its format can (32-bit sizes), capture stopped\n"
                         "capture end: long.vgm, A0 writes 1, A1 writes 0, ticks 1486, 97385.010 s\n"
                         "terminate a process\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(">no capture running.\n>exit!\n"), std::string::npos) << r.out;
    const std::string file = readFile(dir + "/long.vgm");
    const auto vgm = readVgm(file);
    ASSERT_TRUE(vgm.has_value());
    EXPECT_EQ(vgm->samples, 4294678941u);
    EXPECT_EQ(vgmWord(file, 0x18), 4294678941u);
    std::filesystem::remove_all(dir);
}

// A write that fails (the file-size limit of the shell, as a full disk would) ends the capture
// with the reason; the file keeps what the last good write made of it, and the session goes on.
TEST(RegisterCapture, AFailedWriteStopsTheCaptureAndKeepsAValidFile) {
    const std::string dir = folderWithDemo();
    ChildProcess run("/bin/sh", {"-c", "ulimit -f 2 && exec \"$0\"", VELKOR_BINARY}, noDeviceEnv(), dir);
    run.write("l\nwait 0\nv demo.s98\ng\nv\nq\n");
    run.closeInput();
    EXPECT_EQ(run.finish(20000), 0);
    EXPECT_NE(run.output().find("terminate a process\n"), std::string::npos) << run.output();
    EXPECT_NE(run.output().find("\ncapture write error: demo.s98 (File too large)\n"
                                "capture end: demo.s98, A0 writes 0, A1 writes 0, ticks 0, 0.000 s\n"
                                ">no capture running.\n>exit!\n"),
              std::string::npos)
        << run.output();
    const auto s98 = readS98(readFile(dir + "/demo.s98"));
    ASSERT_TRUE(s98.has_value());
    EXPECT_TRUE(s98->writes.empty());
    std::filesystem::remove_all(dir);
}

}  // namespace
