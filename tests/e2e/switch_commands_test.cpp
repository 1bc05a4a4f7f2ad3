// Coverage, port log, echo, tick and wait-loop switches, through the real binary.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

std::string run(const std::string& commands, const std::string& dir = makeTempDir()) {
    const RunResult r = runVelkor({}, commands + "q\n", noDeviceEnv(), dir);
    EXPECT_EQ(r.status, 0);
    return r.out;
}

TEST(SwitchCommands, TogglesAnswerWithTheirNewState) {
    EXPECT_EQ(run("c\nc\ncx\nio\nio\nix\ndisplay\ndisplayx\nwc\nwc\n"),
              ">set coverage on.\n>set coverage off.\n>set coverage on.\n>io write enable.\n>io write disable.\n>"
              ">enable display 86io\n>disable display 86io\n>wait loop cancel.\n>wait loop not cancel.\n>exit!\n");
}

TEST(SwitchCommands, WaitTakesADecimalNumber) {
    EXPECT_EQ(run("wait 20\nwait\nwait10\nwait  -7\nwait 3x\nwait +4\n"),
              ">set wait 20 msec.\n>set wait 0 msec.\n>set wait 10 msec.\n>set wait 0 msec.\n>set wait 3 msec.\n"
              ">set wait 4 msec.\n>exit!\n");
}

TEST(SwitchCommands, CoverageCountsClearsAndSaves) {
    const std::string dir = makeTempDir();
    // 0100 mov ax,[0200] / 0103 mov bx,[0204] / 0107 nop. The image leaves the vector table's
    // bytes 08 00 ff ff at 0200 and beyond its end.
    writeGuestImage(dir + "/noname.bin", {0xA1, 0x00, 0x02, 0x8B, 0x1E, 0x04, 0x02, 0x90});
    const std::string loaded = ">load file comp.[noname.bin][264(00000108)]\n";
    EXPECT_EQ(run("l\ncs\nc\nt\nt\nc\nt\ncs\nco\ncc\ncs\n", dir),
              loaded + ">code coverage 0entry.\ndata coverage 0entry.\n>set coverage on.\n>" +
                  registerLines(8, 0, 0, 0, 0xFFF8, 0x103) + "0000:0103  8b1e0402          mov\tbx,[0204]\t(00204:0008)\n>" +
                  registerLines(8, 8, 0, 0, 0xFFF8, 0x107) + "0000:0107  90                nop\t\n>set coverage off.\n>" +
                  registerLines(8, 8, 0, 0, 0xFFF8, 0x108) + "0000:0108  0800              or\t[bx+si],al\t(00008:00)\n" +
                  ">code coverage 3entry.\ndata coverage 1entry.\n>writing..done.\n>clear coverage.\n"
                  ">code coverage 0entry.\ndata coverage 0entry.\n>exit!\n");
    // Executed and displayed (decode-only) instructions both count; A1's direct address is not a
    // ModR/M operand and records no data address.
    EXPECT_EQ(readFile(dir + "/coverage.txt"), "0100\n0103\n0107\n00000204\n");
}

TEST(SwitchCommands, UnassembleRecordsCoverageWithoutRunning) {
    const std::string out = run("c\nu\ncs\n");
    EXPECT_EQ(out.substr(out.size() - 52), ">code coverage 8entry.\ndata coverage 1entry.\n>exit!\n");
}

TEST(SwitchCommands, CoverageFileThatCannotBeCreatedIsReported) {
    const std::string dir = makeTempDir();
    ASSERT_EQ(mkdir((dir + "/coverage.txt").c_str(), 0755), 0);
    EXPECT_EQ(run("co\n", dir), ">writing..file open error.\n>exit!\n");
}

TEST(SwitchCommands, WaitLoopCancelEndsSelfLoopsAtOnce) {
    const std::string dir = makeTempDir();
    // 0100 mov cx,1234 / 0103 loop 0103 / 0105 nop
    writeGuestImage(dir + "/noname.bin", {0xB9, 0x34, 0x12, 0xE2, 0xFE, 0x90});
    const std::string out = run("l\nwc\nt\nt\n", dir);
    EXPECT_NE(out.find(registerLines(0, 0, 0, 0, 0xFFF8, 0x105)), std::string::npos) << out;
}

}  // namespace
