// The serial link over a real pseudo-terminal, with a test device on the master side.
#include "host/serial_link.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/child_process.h"
#include "support/fake_device.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::string kResetLine5a = "reset\x81\x46" "5a\n";

TEST(SerialStartup, HandshakeSendsOneZeroByteAndPrintsAnswerBeforePrompt) {
    FakeDevice device(0x5A);
    const RunResult r = runVelkor({}, "q\n", {{"VELKOR_COM3", device.path()}, {"VELKOR_COM4", "/nonexistent/c4"}});
    EXPECT_EQ(r.out, kResetLine5a + ">exit!\n");
    EXPECT_EQ(device.received(), Bytes{0x00});
}

TEST(SerialStartup, PortsAreTriedInCommandLineOrder) {
    FakeDevice device(0x33);
    const RunResult r = runVelkor({"-com", "7", "-com", "2"}, "q\n",
                                  {{"VELKOR_COM7", "/nonexistent/c7"}, {"VELKOR_COM2", device.path()}});
    EXPECT_EQ(r.out, "reset\x81\x46" "33\n>exit!\n");
}

TEST(SerialStartup, FirstPortThatOpensIsKept) {
    FakeDevice first(0x11);
    FakeDevice second(0x22);
    const RunResult r = runVelkor({}, "q\n", {{"VELKOR_COM3", first.path()}, {"VELKOR_COM4", second.path()}});
    EXPECT_EQ(r.out, "reset\x81\x46" "11\n>exit!\n");
    EXPECT_TRUE(second.received().empty());
}

TEST(SerialStartup, NoPortMeansNoResetLine) {
    const RunResult r = runVelkor({}, "q\n");
    EXPECT_EQ(r.out, ">exit!\n");
}

TEST(SerialStartup, SilentDeviceShowsZeroAfterTheTimeout) {
    FakeDevice device(-1);
    const RunResult r = runVelkor({}, "q\n", {{"VELKOR_COM3", device.path()}, {"VELKOR_COM4", "/nonexistent/c4"}});
    EXPECT_EQ(r.out, "reset\x81\x46" "00\n>exit!\n");
}

TEST(SerialLinkMessages, RegisterWritesGoOutInOrder) {
    FakeDevice device;
    setenv("VELKOR_COM9", device.path().c_str(), 1);
    SerialLink link;
    link.openPorts({9});
    ASSERT_TRUE(link.isOpen());
    link.writeRegisterA0(0x29, 0x80);
    link.writeRegisterA1(0x29, 0x80);
    link.writeRegisterA0(0x00, 0xFF);
    ASSERT_TRUE(device.waitForBytes(9, 2000));
    EXPECT_EQ(device.received(), (Bytes{0x0D, 0x29, 0x80, 0x0E, 0x29, 0x80, 0x0D, 0x00, 0xFF}));
    link.close();
    EXPECT_FALSE(link.isOpen());
    unsetenv("VELKOR_COM9");
}

TEST(SerialLinkMessages, ClosedLinkSendsNothingAndStaysSilent) {
    setenv("VELKOR_COM9", "/nonexistent/c9", 1);
    setenv("VELKOR_COM0", "/nonexistent/c0", 1);
    SerialLink link;
    link.openPorts({9, 0});
    EXPECT_FALSE(link.isOpen());
    testing::internal::CaptureStdout();
    link.writeRegisterA0(1, 2);
    link.resetHandshake();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    unsetenv("VELKOR_COM9");
    unsetenv("VELKOR_COM0");
}

TEST(SerialLinkMessages, PortZeroAndNegativeOpenNothingUnlessMapped) {
    unsetenv("VELKOR_COM0");
    unsetenv("VELKOR_COM-1");
    SerialLink link;
    link.openPorts({0, -1});
    EXPECT_FALSE(link.isOpen());
}

}  // namespace
