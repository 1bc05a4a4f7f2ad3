#pragma once
// Element addressing shared by the string instructions: the source at (DS or override):SI, the
// destination always at ES:DI, both as linear addresses without a 16-bit wrap of the offset.
#include "core/cpu.h"
#include "core/memory.h"

inline void takeSegmentBases(Cpu& cpu) {
    cpu.srcBase = linearOf(segmentOrOverride(cpu, cpu.ds), 0);
    cpu.dstBase = linearOf(cpu.es, 0);
}

inline uint32_t sourceAddress(Cpu& cpu) { return cpu.srcLinear = cpu.srcBase + cpu.si; }
inline uint32_t destinationAddress(Cpu& cpu) { return cpu.dstLinear = cpu.dstBase + cpu.di; }

// SI or DI moves by the element size, down when DF is set, modulo 65536.
inline uint16_t stepped(uint16_t index, const Cpu& cpu, uint32_t size) {
    return static_cast<uint16_t>(cpu.dfFlag ? index - size : index + size);
}
