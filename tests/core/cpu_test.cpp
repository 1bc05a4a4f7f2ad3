#include "core/cpu.h"

#include <gtest/gtest.h>

#include "core/memory.h"
#include "core/stack.h"

namespace {

class CpuTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetCpu(cpu);
        cpu.cs = cpu.ds = cpu.es = cpu.ss = 0;
        cpu.ip = 0x0100;
        cpu.sp = 0xFFF8;
    }
    Cpu cpu;
};

TEST_F(CpuTest, ResetPreparesVectorsRetfAndFlags) {
    for (uint32_t n = 0; n < 256; ++n) {
        ASSERT_EQ(cpu.memory[n * 4 + 0], 0x08);
        ASSERT_EQ(cpu.memory[n * 4 + 1], 0x00);
        ASSERT_EQ(cpu.memory[n * 4 + 2], 0xFF);
        ASSERT_EQ(cpu.memory[n * 4 + 3], 0xFF);
    }
    EXPECT_EQ(cpu.memory[0xFFFF8], 0xCB);
    size_t nonZero = 0;
    for (uint32_t a = 0x400; a < kMemorySize; ++a) nonZero += cpu.memory[a] != 0;
    EXPECT_EQ(nonZero, 1u);
    EXPECT_EQ(packFlags(cpu), 0x0200);  // only IF
}

TEST_F(CpuTest, ResetKeepsTrapAuxAndParityAndEmptiesHistory) {
    Cpu other;
    other.tfFlag = other.afFlag = other.pfFlag = 1;
    other.cfFlag = other.ofFlag = 1;
    other.IpHistory.assign(10, 0x1234);
    resetCpu(other);
    EXPECT_EQ(other.tfFlag, 1);
    EXPECT_EQ(other.afFlag, 1);
    EXPECT_EQ(other.pfFlag, 1);
    EXPECT_EQ(other.cfFlag, 0);
    EXPECT_EQ(other.ofFlag, 0);
    EXPECT_TRUE(other.IpHistory.empty());
    EXPECT_EQ(other.cs, 0x1000);
    EXPECT_EQ(other.ss, 0x1000);
}

TEST_F(CpuTest, WordReadsWrapEachByteAtOneMegabyte) {
    cpu.memory[0xFFFFF] = 0x34;
    cpu.memory[0x00000] = 0x12;
    EXPECT_EQ(readWordAt(cpu, 0xFFFF, 0x000F), 0x1234);

    // The offset is not wrapped inside the segment.
    cpu.memory[0x1FFFF] = 0xCD;
    cpu.memory[0x20000] = 0xAB;
    EXPECT_EQ(readWordAt(cpu, 0x1000, 0xFFFF), 0xABCD);
    EXPECT_EQ(readWordLinear(cpu, 0x1FFFF), 0xABCD);
}

TEST_F(CpuTest, FetchAtIpFFFFWrapsIpButNotCs) {
    cpu.cs = 0x2000;
    cpu.ip = 0xFFFF;
    cpu.memory[0x2FFFF] = 0x90;
    EXPECT_EQ(fetchByte(cpu), 0x90);
    EXPECT_EQ(cpu.ip, 0x0000);
    EXPECT_EQ(cpu.cs, 0x2000);
}

TEST_F(CpuTest, PushStoresAtSpThenLowersIt) {
    pushWord(cpu, 0xBEEF);
    EXPECT_EQ(cpu.sp, 0xFFF6);
    EXPECT_EQ(cpu.memory[0xFFF8], 0xEF);
    EXPECT_EQ(cpu.memory[0xFFF9], 0xBE);
    EXPECT_EQ(popWord(cpu), 0xBEEF);
    EXPECT_EQ(cpu.sp, 0xFFF8);

    cpu.sp = 0x0000;
    pushWord(cpu, 0x1122);
    EXPECT_EQ(cpu.sp, 0xFFFE);
    EXPECT_EQ(cpu.memory[0x0000], 0x22);
    EXPECT_EQ(cpu.memory[0x0001], 0x11);
}

TEST_F(CpuTest, FlagsPackAndUnpack) {
    cpu.ifFlag = 0;
    cpu.cfFlag = cpu.zfFlag = 1;
    EXPECT_EQ(packFlags(cpu), 0x0041);
    unpackFlags(cpu, 0xFFFF);
    EXPECT_EQ(packFlags(cpu), 0x0FD5);
    for (uint8_t f : {cpu.ofFlag, cpu.dfFlag, cpu.ifFlag, cpu.tfFlag, cpu.sfFlag, cpu.zfFlag, cpu.afFlag,
                      cpu.pfFlag, cpu.cfFlag}) {
        EXPECT_EQ(f, 1);
    }
    unpackFlags(cpu, 0x0002);  // bit 1 is ignored
    EXPECT_EQ(packFlags(cpu), 0x0000);
}

TEST_F(CpuTest, ByteRegistersAreHalvesOfWordRegisters) {
    cpu.ax = 0x1234;
    cpu.bx = 0x5678;
    EXPECT_EQ(getReg8(cpu, 0), 0x34);  // AL
    EXPECT_EQ(getReg8(cpu, 4), 0x12);  // AH
    EXPECT_EQ(getReg8(cpu, 7), 0x56);  // BH
    setReg8(cpu, 1, 0xAB);             // CL
    setReg8(cpu, 5, 0xCD);             // CH
    EXPECT_EQ(cpu.cx, 0xCDAB);
    setReg16(cpu, 4, 0x1000);
    EXPECT_EQ(cpu.sp, 0x1000);
    EXPECT_EQ(getReg16(cpu, 7), cpu.di);
}

}  // namespace
