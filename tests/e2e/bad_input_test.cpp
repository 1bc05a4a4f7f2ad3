// Input that is malformed, oversized or hostile: what the user sees, and that nothing else changes.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/fake_device.h"
#include "support/guest_image.h"

namespace {

struct BadLine {
    std::string input;     // one or more lines, without the final q
    std::string expected;  // the whole output before ">exit!\n"
};

class BadLines : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadLines, GetTheirAnswerAndTheSessionGoesOn) {
    const RunResult r = runVelkor({}, GetParam().input + "q\n", noDeviceEnv(), makeTempDir());
    EXPECT_EQ(r.out, GetParam().expected + ">exit!\n");
    EXPECT_EQ(r.status, 0);
}

const std::string kStopAtZero =
    registerLines(0, 0, 0, 0, 0xFFF8, 0x0000) + "0000:0000  0800              or\t[bx+si],al\t(00000:08)\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadLines,
    ::testing::Values(
        // Control and high bytes in the command word.
        BadLine{std::string("z\0abc\n", 6), ">invalid command [z]\n"},
        BadLine{std::string("\0q\n", 3), ">"},
        BadLine{"\tq\n", ">invalid command [\t]\n"},
        BadLine{"\xe9\xff\n", ">invalid command [\xe9]\n"},
        BadLine{"\x1b[A\n", ">invalid command [\x1b]\n"},
        // A carriage return after the argument's blank ends the line.
        BadLine{"n a.bin\rjunk\n", ">set filename [a.bin]\n"},
        // Malformed and register-name arguments are taken as the parsers read them.
        BadLine{"bd ax\n", ">not found -> 00000\n"},
        BadLine{"bp 123456789abc\n", ">set break point -> 0000:9abc\n"},
        BadLine{"fs 100000000\n", ">set filesize -> [0]\n"},
        BadLine{"fs -1\n", ">invalid file size\n"},
        BadLine{"wait 99999999999\n", ">set wait 2147483647 msec.\n"},
        BadLine{"wait -99999999999\n", ">set wait 0 msec.\n"},
        BadLine{"f 100 ax 90\n", ">address error.\n"},
        BadLine{"f 0 fffff 90\nf 0 100000 90\n", ">>address error.\n"},
        BadLine{"m 100 200 ffffffff\n", ">address error.\n"},
        BadLine{"m 100 200\nf 1 2\n", ">invalid command\n>invalid command\n"},
        BadLine{"r ax zz\nr ip\n0\nr ax 123456789\nr\n",
                ">>0100:>>" + registerLines(0x6789, 0, 0, 0, 0xFFF8, 0) +
                    "0000:0000  0800              or\t[bx+si],al\t(00000:08)\n"},
        BadLine{"e ax 1 2\nd 0\n",
                ">>0000:0000 01 02 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0010 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0020 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0030 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0040 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0050 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0060 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"
                "0000:0070 08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"},
        // A stop address of zz is offset 0: the empty image runs up to it.
        BadLine{"g zz\n", ">" + kStopAtZero}, BadLine{"x zz\n", ">" + kStopAtZero},
        // Sub-commands take no arguments; what follows is ignored.
        BadLine{"h ax\nc ax\nio ax\nwc ax\n",
                ">history on(simple)\n>set coverage on.\n>io write enable.\n>wait loop cancel.\n"}));

TEST(BadInput, OverlongEnterValuesKeepTheirLowByte) {
    // The same on hosts whose long is 32 bits wide.
    const RunResult r = runVelkor({}, "e 100 123456789 fffffffffff 1\nd 100\n");
    EXPECT_EQ(r.out.substr(0, 30), ">>0000:0100 89 ff 01 ff 08 00 ") << r.out;
}

TEST(BadInput, UnassembleAcrossTheEndOfTheImageWraps) {
    const RunResult r = runVelkor({}, "r cs ffff\nu 8\n");
    // FFFF:0008 is linear FFFF8, the far return placed there; FFFF:0010 is linear 100000, which is
    // address 0 of the image again: the vector table's bytes 08 00.
    EXPECT_NE(r.out.find(">>ffff:0008  cb                retf"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nffff:000f  0008              add\t[bx+si],cl"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 7), ">exit!\n");
}

TEST(BadInput, LoadOfTwoMegabytesTakesTheFirstOne) {
    const std::string dir = makeTempDir();
    std::string big(2 * 1024 * 1024, '\x11');
    big[0x100000] = '\x22';
    std::ofstream(dir + "/big.bin", std::ios::binary) << big;
    const RunResult r = runVelkor({}, "l big.bin\nd ffff:fff0\n", noDeviceEnv(), dir);
    EXPECT_NE(r.out.find(">load file comp.[big.bin][1048576(00100000)]\n"), std::string::npos);
    // The byte after the first megabyte is not loaded anywhere: FFFF:FFF0 is linear 0FFFE0..0FFFEF.
    EXPECT_NE(r.out.find("ffff:fff0 11 11 11 11"), std::string::npos) << r.out;
}

TEST(BadInput, LongFileNamesAreCutAndFailCleanly) {
    const std::string dir = makeTempDir();
    const std::string name(300, 'x');
    const RunResult r = runVelkor({}, "l " + name + "\nfs 1\nw " + name + "\n", noDeviceEnv(), dir);
    // The name is cut to 255 characters, which this file system accepts.
    EXPECT_EQ(r.out, ">file open error.\n>set filesize -> [1]\n>save file comp.[" + name.substr(0, 255) + "]\n>exit!\n");
    EXPECT_EQ(readFile(dir + "/" + name.substr(0, 255)).size(), 1u);
}

TEST(BadInput, PortLogThatCannotBeCreatedIsSkippedSilently) {
    const std::string dir = makeTempDir();
    ASSERT_EQ(mkdir((dir + "/iow.txt").c_str(), 0755), 0);
    // out dx,al to 0188 and 018a, then stop through a division by zero.
    writeGuestImage(dir + "/noname.bin", {0xBA, 0x88, 0x01, 0xEE, 0xBA, 0x8A, 0x01, 0xEE, 0xF6, 0xF7});
    const RunResult r = runVelkor({}, "l\nio\ng\n", noDeviceEnv(), dir);
    EXPECT_NE(r.out.find(">io write enable.\n>division by zero\n"), std::string::npos) << r.out;
}

TEST(BadInput, DeviceDisappearingMidRunDoesNotStopVelkor) {
    const std::string dir = makeTempDir();
    // 0100 mov dx,018a / 0103 mov cx,0bb8 / 0106 out dx,al / 0107 wait / 0108 loop 0106 / 010a div bh
    writeGuestImage(dir + "/noname.bin",
                    {0xBA, 0x8A, 0x01, 0xB9, 0xB8, 0x0B, 0xEE, 0x9B, 0xE2, 0xFC, 0xF6, 0xF7});
    auto device = std::make_unique<FakeDevice>();
    ChildProcess velkor(VELKOR_BINARY, {}, {{"VELKOR_COM3", device->path()}, {"VELKOR_COM4", "/nonexistent"}}, dir);
    velkor.write("l\nwait 1\ng\n");
    ASSERT_TRUE(device->waitForBytes(100, 5000));
    device.reset();  // the device goes away while the guest keeps writing
    velkor.closeInput();
    EXPECT_EQ(velkor.finish(30000), 0);
    EXPECT_NE(velkor.output().find("division by zero\n"), std::string::npos);
    EXPECT_EQ(velkor.output().substr(velkor.output().size() - 7), ">exit!\n");
}

}  // namespace
