// velkor, velkor-device and the demo driver together: the VGM capture holds exactly the register
// writes the guest made (as the port log shows them) and the monitor's extended-mode write.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "tools/vgm_test_reader.h"

namespace {

struct LoggedWrite {
    int port;
    uint8_t reg;
    uint8_t value;
};

// The register writes that reached the chip, from "iow.txt": a data-port write completes the
// register its address port selected. Bank A0's timer control (27) stays on the host.
std::vector<VgmWrite> forwardedWrites(const std::string& log) {
    std::vector<VgmWrite> writes;
    uint8_t latch[2] = {0, 0};
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned port = 0, value = 0;
        if (std::sscanf(line.c_str(), "%x <- %x", &port, &value) != 2) continue;  // a read
        if (port == 0x188 || port == 0x18C) latch[port == 0x18C] = static_cast<uint8_t>(value);
        if (port == 0x18A && latch[0] != 0x27) writes.push_back({0, 0, latch[0], static_cast<uint8_t>(value)});
        if (port == 0x18E) writes.push_back({0, 1, latch[1], static_cast<uint8_t>(value)});
    }
    return writes;
}

bool waitForLink(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) return true;
        usleep(10000);
    }
    return false;
}

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

    std::vector<VgmWrite> expected = {{0, 0, 0x29, 0x80}};  // fe, before the guest ran
    for (const VgmWrite& w : forwardedWrites(readFile(dir + "/iow.txt"))) expected.push_back(w);
    ASSERT_GT(expected.size(), 100u);
    std::vector<VgmWrite> captured = vgm->writes;
    for (VgmWrite& w : captured) w.sample = 0;  // compare the stream, not its timing
    EXPECT_EQ(captured, expected);
}

}  // namespace
