#pragma once
// The decisions of the control transfers, shared by the step and the fast run loop: the sixteen
// conditions, the LOOP family's count, and relative targets.
#include <cstdint>

#include "core/cpu.h"

// The conditions come in pairs: an even nibble tests the condition, the odd one after it its
// negation. PF is never computed by the standard processor's arithmetic, so JP/JNP see the value
// last loaded into it.
inline bool pairConditionHolds(const Cpu& cpu, unsigned pair) {
    const bool signDiffersFromOverflow = cpu.sfFlag != cpu.ofFlag;
    switch (pair) {
        case 0: return cpu.ofFlag != 0;
        case 1: return cpu.cfFlag != 0;
        case 2: return cpu.zfFlag != 0;
        case 3: return cpu.cfFlag != 0 || cpu.zfFlag != 0;
        case 4: return cpu.sfFlag != 0;
        case 5: return cpu.pfFlag != 0;
        case 6: return signDiffersFromOverflow;
        default: return cpu.zfFlag != 0 || signDiffersFromOverflow;
    }
}

inline bool conditionHolds(const Cpu& cpu, unsigned nibble) {
    const bool negated = (nibble & 1) != 0;
    return pairConditionHolds(cpu, nibble >> 1) != negated;
}

// Target of a relative transfer whose bytes have all been taken (IP is past the instruction).
inline uint16_t relativeTarget(const Cpu& cpu, int16_t displacement) {
    return static_cast<uint16_t>(cpu.ip + displacement);
}

inline uint16_t shortTarget(const Cpu& cpu, uint8_t displacement) {
    return relativeTarget(cpu, static_cast<int8_t>(displacement));
}

inline uint16_t nearTarget(const Cpu& cpu, uint16_t displacement) {
    return relativeTarget(cpu, static_cast<int16_t>(displacement));
}

// LOOP, LOOPZ and LOOPNZ count CX down first (0 becomes FFFF); returns the new count.
inline uint16_t countDown(Cpu& cpu) {
    cpu.cx = static_cast<uint16_t>(cpu.cx - 1);
    return cpu.cx;
}

// A LOOP whose displacement is FE jumps onto itself: the guest's busy-wait idiom.
constexpr uint8_t kLoopOntoItself = 0xFE;

// Whether LOOP jumps: it counts CX down and goes on while CX is not 0. A busy-wait LOOP onto
// itself only burns time; with the cancel switch on, the WAIT tick is the time base and the wait
// is cut short (CX becomes 0).
inline bool loopContinues(Cpu& cpu, uint8_t displacement) {
    if (countDown(cpu) == 0) return false;
    if (cpu.waitLoopCancel != 0 && displacement == kLoopOntoItself) {
        cpu.cx = 0;
        return false;
    }
    return true;
}

inline bool loopzContinues(Cpu& cpu) { return countDown(cpu) != 0 && cpu.zfFlag != 0; }
inline bool loopnzContinues(Cpu& cpu) { return countDown(cpu) != 0 && cpu.zfFlag == 0; }
