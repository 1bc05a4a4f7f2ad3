#pragma once
// The emulated real-mode processor: registers, flag bytes, the 1 MiB memory image, the decoder's
// scratch fields, the text buffers and the debugging containers the monitor reads.
#include <bit>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>

#include "core/coverage.h"

struct OpnaBoard;
struct TickHook;
struct DecodeCache;

constexpr uint32_t kMemorySize = 0x100000;
constexpr uint32_t kAddressMask = 0xFFFFF;

// Which processor the session runs: this system's own semantics (the default), or the 8086's as the
// hardware behaves (stack, address wrapping, every flag, signed multiply and divide, the divide
// fault, BCD and the undocumented forms).
enum class CpuMode : uint8_t { standard, exact };

// Segment override selected by a prefix byte.
enum SegOverride : uint8_t { kSegNone = 0, kSegDs = 1, kSegCs = 2, kSegEs = 3, kSegSs = 4 };

struct Cpu {
    Cpu();
    ~Cpu();

    std::unique_ptr<uint8_t[]> memory;

    // The register file: one array in the order of the register numbers the instructions carry, so
    // that an operand's register is an index, with the names as a second view of the same words.
    // (Reading one view after writing the other is the union use GCC, Clang and MSVC define.)
    union {
        uint16_t regs[8] = {};
        struct {
            uint16_t ax, cx, dx, bx, sp, bp, si, di;
        };
    };
    // The segment registers likewise, by their 2-bit number (ES CS SS DS).
    union {
        uint16_t segs[4] = {};
        struct {
            uint16_t es, cs, ss, ds;
        };
    };
    uint16_t ip = 0;

    uint8_t ofFlag = 0, dfFlag = 0, ifFlag = 0, tfFlag = 0, sfFlag = 0, zfFlag = 0, afFlag = 0,
            pfFlag = 0, cfFlag = 0;
    uint8_t savedFlags[9] = {};

    // The flags of the last arithmetic result, not yet written into the flag bytes. Only the fast
    // run loop defers them (core/lazy_flags.h); everywhere else `rule` is 0 and the bytes are current.
    struct PendingFlags {
        uint8_t rule = 0;  // FlagRule
        uint32_t op1 = 0, op2 = 0, result = 0;
    } pendingFlags;

    uint8_t segOverride = 0;
    uint8_t repPrefix = 0;
    uint8_t repnzPrefix = 0;
    uint8_t stopRequested = 0;

    uint8_t codeByte = 0;
    uint8_t modField = 0, rmField = 0, regField = 0;
    uint8_t imm8 = 0;
    uint16_t imm16 = 0;
    uint16_t farSegment = 0;
    uint32_t linear = 0;
    uint32_t srcLinear = 0, dstLinear = 0;
    uint32_t srcBase = 0, dstBase = 0;
    uint32_t rmValue = 0;
    uint32_t regValue = 0;
    uint32_t result = 0;
    uint32_t eaOffset = 0;
    uint32_t eaLinear = 0;
    uint32_t eaBase = 0;  // segment * 16 of the last memory operand (the exact mode wraps inside it)
    const char* ptrText = "";
    const char* segText = "";
    char asmText[64] = {};
    char rmText[16] = {};
    char regText[16] = {};
    char traceText[16] = {};

    CpuMode mode = CpuMode::standard;

    uint8_t waitLoopCancel = 0;
    uint8_t decodeOnly = 0;
    // Whether the instruction texts are formatted. Executing without anyone reading the text skips
    // the formatting work; decode-only steps always format.
    uint8_t textWanted = 1;

    std::deque<uint16_t> IpHistory;
    std::map<uint32_t, uint8_t> BreakpointTable;
    uint8_t coverageOn = 0;
    OffsetSet CodeCoverage;
    AddressSet DataCoverage;

    // The sound board and tick hook that the port and WAIT instructions reach.
    OpnaBoard* board = nullptr;
    TickHook* tick = nullptr;

    // The fast run loop's decoded instructions, made on its first run.
    std::unique_ptr<DecodeCache> decodeCache;
};

// Puts the machine into its reset state (memory cleared, vectors to FFFF:0008, registers reset).
void resetCpu(Cpu& cpu);

// 16-bit FLAGS word: OF bit 11, DF 10, IF 9, TF 8, SF 7, ZF 6, AF 4, PF 2, CF 0.
uint16_t packFlags(const Cpu& cpu);
// The word as the 8086 stores it: the same bits, with bit 1 and bits 12-15 always set.
constexpr uint16_t kFlagsAlwaysSet8086 = 0xF002;
inline uint16_t packFlags8086(const Cpu& cpu) { return packFlags(cpu) | kFlagsAlwaysSet8086; }
void unpackFlags(Cpu& cpu, uint16_t word);

// Segment registers by 2-bit number (ES CS SS DS), as instructions name them; 4-7 alias 0-3.
extern const char* const kSegmentRegisterNames[4];
inline uint16_t& segmentRegister(Cpu& cpu, unsigned n) { return cpu.segs[n & 3]; }

// The segment an operand uses: the one a prefix selected, else the instruction's default.
inline uint16_t segmentOrOverride(const Cpu& cpu, uint16_t defaultSegment) {
    if (cpu.segOverride == kSegNone) return defaultSegment;  // most operands
    switch (cpu.segOverride) {
        case kSegDs: return cpu.ds;
        case kSegCs: return cpu.cs;
        case kSegEs: return cpu.es;
        case kSegSs: return cpu.ss;
        default: return defaultSegment;
    }
}

// Register access by 3-bit number: bytes AL CL DL BL AH CH DH BH, words AX CX DX BX SP BP SI DI.
inline uint16_t getReg16(const Cpu& cpu, unsigned n) { return cpu.regs[n & 7]; }
inline void setReg16(Cpu& cpu, unsigned n, uint16_t value) { cpu.regs[n & 7] = value; }

// Byte registers 0-3 are the low halves of AX CX DX BX, 4-7 their high halves: each is one byte of
// the register file, reached without touching the other half.
inline unsigned byteRegisterIndex(unsigned n) {
    const unsigned high = (n >> 2) & 1;
    return (n & 3) * 2 + (std::endian::native == std::endian::little ? high : 1 - high);
}

inline uint8_t getReg8(const Cpu& cpu, unsigned n) {
    return reinterpret_cast<const uint8_t*>(cpu.regs)[byteRegisterIndex(n)];
}

inline void setReg8(Cpu& cpu, unsigned n, uint8_t value) {
    reinterpret_cast<uint8_t*>(cpu.regs)[byteRegisterIndex(n)] = value;
}
