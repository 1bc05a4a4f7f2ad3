// Properties that hold for every opcode, checked with random operand bytes, registers and memory:
// a decode-only step changes nothing but IP (and the texts and coverage), an executed step of an
// instruction that does not transfer control ends where the decode-only step ended, and executing
// with or without instruction texts leaves exactly the same machine.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/control_transfer.h"
#include "support/machine.h"
#include "support/register_snapshot.h"

namespace {

bool sameMemory(const Cpu& a, const Cpu& b) { return std::memcmp(a.memory.get(), b.memory.get(), kMemorySize) == 0; }

void randomise(TestMachine& m, std::mt19937& rng, uint8_t opcode, bool page0F) {
    std::uniform_int_distribution<int> byte(0, 255);
    auto word = [&] { return static_cast<uint16_t>(byte(rng) | byte(rng) << 8); };
    Cpu& c = m.cpu;
    c.ax = word(); c.bx = word(); c.cx = word() & 0x00FF; c.dx = word(); c.bp = word(); c.si = word();
    c.di = word(); c.sp = word(); c.cs = word(); c.ds = word(); c.es = word(); c.ss = word();
    c.ip = word();
    unpackFlags(c, word());
    c.waitLoopCancel = byte(rng) & 1;
    uint32_t at = linearOf(c.cs, c.ip);
    writeByteLinear(c, at++, opcode);
    if (page0F) writeByteLinear(c, at++, static_cast<uint8_t>(0x80 + byte(rng) % 16));
    for (int i = 0; i < 8; ++i) writeByteLinear(c, at++, static_cast<uint8_t>(byte(rng)));
}

void fillMemory(TestMachine& m, std::mt19937& rng) {
    for (uint32_t a = 0; a < kMemorySize; a += 4) {
        const uint32_t r = rng();
        std::memcpy(&m.cpu.memory[a], &r, 4);
    }
}

void copyMachine(TestMachine& to, const TestMachine& from) {
    std::memcpy(to.cpu.memory.get(), from.cpu.memory.get(), kMemorySize);
    const Registers r = registersOf(from.cpu);
    Cpu& c = to.cpu;
    c.ax = r.ax; c.bx = r.bx; c.cx = r.cx; c.dx = r.dx; c.bp = r.bp; c.si = r.si; c.di = r.di; c.sp = r.sp;
    c.ip = r.ip; c.cs = r.cs; c.ds = r.ds; c.es = r.es; c.ss = r.ss;
    unpackFlags(c, r.flags);
    c.stopRequested = r.stop;
    c.waitLoopCancel = from.cpu.waitLoopCancel;
}

// 0..255 are the one-byte opcodes, 256 the near jumps of the 0F page.
void checkOpcode(int param, CpuMode mode) {
    const bool page0F = param >= 256;
    const uint8_t opcode = page0F ? 0x0F : static_cast<uint8_t>(param);
    std::mt19937 rng(static_cast<unsigned>(param) * 7919u + 1);
    TestMachine base, decoded, withText, withoutText;
    for (TestMachine* m : {&base, &decoded, &withText, &withoutText}) m->cpu.mode = mode;
    fillMemory(base, rng);
    testing::internal::CaptureStdout();  // DOS services and division messages
    for (int trial = 0; trial < 24; ++trial) {
        randomise(base, rng, opcode, page0F);
        copyMachine(decoded, base);
        copyMachine(withText, base);
        copyMachine(withoutText, base);

        decoded.decode();
        Registers expected = registersOf(base.cpu);
        expected.ip = decoded.cpu.ip;
        ASSERT_EQ(registersOf(decoded.cpu), expected) << "opcode " << param << " trial " << trial;
        ASSERT_TRUE(sameMemory(decoded.cpu, base.cpu)) << "opcode " << param;
        ASSERT_LT(std::strlen(decoded.cpu.asmText), sizeof decoded.cpu.asmText);

        withText.cpu.textWanted = 1;
        withoutText.cpu.textWanted = 0;
        withText.run();
        withoutText.run();
        ASSERT_EQ(registersOf(withText.cpu), registersOf(withoutText.cpu)) << "opcode " << param;
        ASSERT_TRUE(sameMemory(withText.cpu, withoutText.cpu)) << "opcode " << param;
        ASSERT_STREQ(withText.cpu.asmText, decoded.cpu.asmText) << "opcode " << param;
        if (!transfersControl(base.cpu)) {
            ASSERT_EQ(withText.cpu.ip, decoded.cpu.ip) << "opcode " << param << " " << decoded.cpu.asmText;
        }
        // Keep the shared memory as the executed step left it for the next trial.
        copyMachine(base, withText);
    }
    testing::internal::GetCapturedStdout();
}

class EveryOpcode : public ::testing::TestWithParam<int> {};

TEST_P(EveryOpcode, DecodeOnlyIsPureAndExecutionAgreesWithIt) { checkOpcode(GetParam(), CpuMode::standard); }

INSTANTIATE_TEST_SUITE_P(Opcodes, EveryOpcode, ::testing::Range(0, 257));

class EveryOpcodeOf8086 : public ::testing::TestWithParam<int> {};

TEST_P(EveryOpcodeOf8086, DecodeOnlyIsPureAndExecutionAgreesWithIt) { checkOpcode(GetParam(), CpuMode::exact); }

INSTANTIATE_TEST_SUITE_P(Opcodes, EveryOpcodeOf8086, ::testing::Range(0, 257));

}  // namespace
