// velkor, velkor-device and the demo driver together: the VGM capture holds exactly the register
// writes the guest made (as the port log shows them) and the monitor's extended-mode write.
#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "support/register_streams.h"

namespace {

TEST(Capture, VgmHoldsTheGuestsRegisterStreamInOrder) {
    const std::string dir = makeTempDir();
    const std::string image = readFile(std::string(VELKOR_SOURCE_DIR) + "/demo/demo.bin");
    ASSERT_FALSE(image.empty());
    std::ofstream(dir + "/noname.bin", std::ios::binary) << image;

    ChildProcess device(VELKOR_DEVICE_BINARY, {"./opna", "--vgm", "capture.vgm"}, {}, dir);
    ASSERT_TRUE(waitForLink(dir + "/opna"));
    const RunResult run =
        runVelkor({}, "fe\nl\nwait 0\nio\ng\nq\n", {{"VELKOR_COM3", "./opna"}, {"VELKOR_COM4", "/nonexistent"}}, dir);
    EXPECT_EQ(run.out.substr(0, 9), "reset\x81\x46" "5a");
    EXPECT_NE(run.out.find("terminate a process\n"), std::string::npos) << run.out;
    // velkor closing the port ends the device, which finishes the file and prints its summary.
    EXPECT_EQ(device.finish(10000), 0);
    EXPECT_NE(device.output().find("velkor-device: A0 writes"), std::string::npos) << device.output();

    const auto vgm = readVgm(readFile(dir + "/capture.vgm"));
    ASSERT_TRUE(vgm.has_value());
    EXPECT_EQ(vgmWord(vgm->header, 0x08), 0x151u);
    EXPECT_EQ(vgmWord(vgm->header, 0x48), 7987200u);
    EXPECT_EQ(vgmWord(vgm->header, 0x04), readFile(dir + "/capture.vgm").size() - 4);
    EXPECT_EQ(vgmWord(vgm->header, 0x18), vgm->samples);

    std::vector<Message> expected = {{0, 0x29, 0x80}};  // fe, before the guest ran
    for (const Message& m : portLogWrites(readFile(dir + "/iow.txt"))) expected.push_back(m);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(messagesOf(*vgm), expected);  // the stream, not its timing
}

}  // namespace
