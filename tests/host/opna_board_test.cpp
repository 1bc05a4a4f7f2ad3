// The sound board's ports: register images, the link, the echo and the port log.
#include "host/opna_board.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host/serial_link.h"
#include "host/tick_hook.h"
#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

// Runs each test in a fresh folder, so "iow.txt" is the test's own.
class OpnaBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        dir = makeTempDir();
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        board.setIoLog(false);
        ASSERT_EQ(chdir(previous), 0);
    }
    std::string log() {
        board.setIoLog(false);  // closes the file so that everything is on disk
        return readFile(dir + "/iow.txt");
    }
    char previous[4096] = {};
    std::string dir;
    SerialLink link;
    OpnaBoard board{link};
};

TEST_F(OpnaBoardTest, BankWritesGoThroughTheirAddressLatches) {
    board.portWrite(0x188, 0x30);
    board.portWrite(0x18A, 0x71);
    board.portWrite(0x18C, 0x30);
    board.portWrite(0x18E, 0x72);
    EXPECT_EQ(link.registerImageA0[0x30], 0x71);
    EXPECT_EQ(link.registerImageA1[0x30], 0x72);
    EXPECT_EQ(board.addressLatchA0, 0x30);
    EXPECT_EQ(board.addressLatchA1, 0x30);
}

TEST_F(OpnaBoardTest, TimerBitsOfBankA0Register27AreLoggedOnlyButNotOfBankA1) {
    board.setIoLog(true);
    board.display86io = true;
    testing::internal::CaptureStdout();
    board.portWrite(0x188, 0x27);
    board.portWrite(0x18A, 0x15);
    board.portWrite(0x18C, 0x27);
    board.portWrite(0x18E, 0x15);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A1[27]<-[15]\n");
    EXPECT_EQ(link.registerImageA0[0x27], 0);
    EXPECT_EQ(link.registerImageA1[0x27], 0x15);
    EXPECT_EQ(log(), "0188 <- 27\n018a <- 15\n018c <- 27\n018e <- 15\n");
}

TEST_F(OpnaBoardTest, EchoShowsEveryStoredWrite) {
    board.display86io = true;
    testing::internal::CaptureStdout();
    board.portWrite(0x188, 0x28);
    board.portWrite(0x18A, 0xF0);
    board.portWrite(0x18C, 0xB4);
    board.portWrite(0x18E, 0xC0);
    board.portWrite(0x189, 0x01);  // not a board port
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A0[28]<-[f0]\nA1[b4]<-[c0]\n");
}

struct ReadCase {
    uint16_t port;
    uint8_t expected;
};

class PortReads : public OpnaBoardTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(PortReads, AnswerTheBoardsValues) {
    link.registerImageA0[0x05] = 0x5A;
    board.portWrite(0x188, 0x05);
    EXPECT_EQ(board.portRead(GetParam().port), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortReads,
                         ::testing::Values(ReadCase{0x18A, 0x5A}, ReadCase{0xA460, 0x41}, ReadCase{0x18C, 0},
                                           ReadCase{0x18E, 0}, ReadCase{0x0060, 0}, ReadCase{0x005F, 0},
                                           ReadCase{0xA461, 0}, ReadCase{0x188, 0}));

TEST_F(OpnaBoardTest, SsgRegistersReadBackBelow10Only) {
    link.registerImageA0[0x0F] = 0x12;
    link.registerImageA0[0x10] = 0x34;
    board.portWrite(0x188, 0x0F);
    EXPECT_EQ(board.portRead(0x18A), 0x12);
    board.portWrite(0x188, 0x10);
    EXPECT_EQ(board.portRead(0x18A), 0);
}

TEST_F(OpnaBoardTest, StatusIsSetByATickAndClearedByItsFirstRead) {
    TickHook tick;
    tick.waitMs = 0;
    EXPECT_EQ(board.portRead(0x188), 0);
    waitTick(tick, board);
    EXPECT_EQ(board.portRead(0x188), 2);
    EXPECT_EQ(board.portRead(0x188), 0);
}

TEST_F(OpnaBoardTest, LogHasBothLineShapesAndSkipsTheNeverLoggedReads) {
    board.setIoLog(true);
    for (uint16_t port : {0x5F, 0xA1, 0xA3, 0xA5, 0xA9}) board.portRead(port);
    board.portRead(0x60);
    board.portRead(0xA460);
    board.portWrite(0x189, 0xAB);
    board.portWrite(0x5F, 0x00);  // writes to those ports are logged
    EXPECT_EQ(log(), "0060\na460\n0189 <- ab\n005f <- 00\n");
}

TEST_F(OpnaBoardTest, LogIsAppendedAcrossSwitchingAndOnDiskBeforeTheNextAccess) {
    board.setIoLog(true);
    board.portWrite(0x188, 1);
    // The line is already in the file while the log is still open.
    EXPECT_EQ(readFile(dir + "/iow.txt"), "0188 <- 01\n");
    board.setIoLog(false);
    board.portWrite(0x188, 2);  // not logged
    board.setIoLog(true);
    board.portRead(0x188);
    EXPECT_EQ(log(), "0188 <- 01\n0188\n");
}

TEST_F(OpnaBoardTest, UnwritableLogIsSkippedSilently) {
    ASSERT_EQ(mkdir((dir + "/iow.txt").c_str(), 0755), 0);
    board.setIoLog(true);
    testing::internal::CaptureStdout();
    board.portWrite(0x188, 0x28);
    board.portWrite(0x18A, 0x01);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(link.registerImageA0[0x28], 0x01);
}

// Channel 3's mode (bits 6-7 of register 27) is forwarded with the timer bits cleared, once per
// change; a device reset makes the mode 0 again, so the next mode is sent afresh.
TEST_F(OpnaBoardTest, Channel3ModeOfRegister27IsForwardedOncePerChange) {
    board.display86io = true;
    testing::internal::CaptureStdout();
    for (uint8_t value : {0x3F, 0x55, 0x7F, 0xC5, 0x05}) {
        board.portWrite(0x188, 0x27);
        board.portWrite(0x18A, value);
    }
    EXPECT_EQ(link.registerImageA0[0x27], 0x00);
    board.deviceReset();
    board.portWrite(0x18A, 0x45);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A0[27]<-[40]\nA0[27]<-[c0]\nA0[27]<-[00]\nA0[27]<-[40]\n");
    EXPECT_EQ(link.registerImageA0[0x27], 0x40);
}

}  // namespace
