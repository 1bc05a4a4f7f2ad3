#include "core/cpu.h"

#include <cstring>

#include "core/decode_cache.h"
#include "core/memory.h"

Cpu::Cpu() : memory(std::make_unique<uint8_t[]>(kMemorySize)) {}

Cpu::~Cpu() = default;

void resetCpu(Cpu& cpu) {
    cpu.segOverride = cpu.repPrefix = cpu.repnzPrefix = cpu.stopRequested = 0;

    std::memset(cpu.memory.get(), 0, kMemorySize);
    // Every vector points at FFFF:0008, where a lone RETF returns from an unclaimed INT.
    cpu.memory[0xFFFF8] = 0xCB;
    for (uint32_t vector = 0; vector < 256; ++vector) {
        writeWordLinear(cpu, vector * 4, 0x0008);
        writeWordLinear(cpu, vector * 4 + 2, 0xFFFF);
    }

    cpu.ax = cpu.bx = cpu.cx = cpu.dx = cpu.bp = cpu.si = cpu.di = cpu.sp = cpu.ip = 0;
    cpu.cs = cpu.ds = cpu.es = cpu.ss = 0x1000;

    // TF, AF and PF keep whatever they held.
    cpu.ofFlag = cpu.dfFlag = cpu.sfFlag = cpu.zfFlag = cpu.cfFlag = 0;
    cpu.ifFlag = 1;

    std::deque<uint16_t>().swap(cpu.IpHistory);
}

uint16_t packFlags(const Cpu& cpu) {
    return static_cast<uint16_t>(cpu.ofFlag << 11 | cpu.dfFlag << 10 | cpu.ifFlag << 9 | cpu.tfFlag << 8 |
                                 cpu.sfFlag << 7 | cpu.zfFlag << 6 | cpu.afFlag << 4 | cpu.pfFlag << 2 |
                                 cpu.cfFlag);
}

void unpackFlags(Cpu& cpu, uint16_t word) {
    cpu.ofFlag = (word >> 11) & 1;
    cpu.dfFlag = (word >> 10) & 1;
    cpu.ifFlag = (word >> 9) & 1;
    cpu.tfFlag = (word >> 8) & 1;
    cpu.sfFlag = (word >> 7) & 1;
    cpu.zfFlag = (word >> 6) & 1;
    cpu.afFlag = (word >> 4) & 1;
    cpu.pfFlag = (word >> 2) & 1;
    cpu.cfFlag = word & 1;
}

const char* const kSegmentRegisterNames[4] = {"es", "cs", "ss", "ds"};
