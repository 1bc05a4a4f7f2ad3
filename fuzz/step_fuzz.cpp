// The instruction engine on arbitrary machines: any bytes at CS:IP and around the data pointers,
// any registers and flags, then a few instructions, each first decoded only and then executed
// twice in lock step, once with instruction texts and once without; a third copy of the machine
// makes the same run through the run loop. Beyond "no crash" (the sanitizers), these properties
// must hold; a violation aborts with its name:
//   - a decode-only step changes nothing but IP, the texts, the scratch members and the coverage
//     sets: registers, flags, the stop request and the sound board are compared, and the whole image
//     is write-protected during the step, so that a write of any value, even the one already
//     there, faults at the writing instruction (the report is a SEGV on a WRITE inside step);
//   - an instruction that does not transfer control ends where its decode-only step ended;
//   - executing with and without texts leaves the same registers, flags, board and image, and the
//     executed text is the decoded text;
//   - every text ends inside its buffer, and no prefix state outlives its instruction;
//   - a plain run through the run loop (runUntil: no texts, coverage or history), limited to the
//     same number of instructions and with a stop address the input places, stops where the
//     single steps (the machine without texts) first meet the same stop conditions, for the same
//     reason, with the same registers, packed flags (none left pending), board and whole image.
//     Each mode's run machine keeps its decoded instructions from one input to the next, so
//     these must also notice every input's new bytes.
//
// Input: a 32-byte header (shorter inputs are padded with zeros), then the memory contents.
//   0-25   AX BX CX DX BP SI DI SP IP CS DS ES SS, little-endian words
//   26-27  FLAGS word
//   28     switches: bit 0 wait-loop cancel, bit 1 coverage (not in the run loop's copy, whose
//          run would otherwise go through the step), bit 2 register-write echo, bit 3 the exact
//          8086 (else the standard processor), bits 4-5 the number of instructions less one
//          (the run loop's step limit), bits 6-7 the run loop's stop address: 0 none (no CS:IP
//          reaches it), 1 CS:IP at the start, 2 and 3 the end of the first and of the second
//          instruction as decode-only steps find it (so inside a block when the code goes
//          straight on)
//   29-31  the board's A0 address latch, A1 address latch and status byte
//   then   up to 64 bytes at CS:IP, and up to 32 at SS:SP, 16 each at DS:SI, ES:DI, DS:BX and SS:BP
//          (the code is written last, so it wins where the regions overlap)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>

#include "core/cpu.h"
#include "core/lazy_flags.h"
#include "core/memory.h"
#include "exec/run.h"
#include "exec/step.h"
#include "host/opna_board.h"
#include "host/serial_link.h"
#include "host/tick_hook.h"
#include "tests/support/control_transfer.h"
#include "tests/support/register_snapshot.h"

namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kCodeBytes = 64;

[[noreturn]] void fail(const char* what, const Cpu& cpu) {
    std::fprintf(stderr, "step_fuzz: %s (at %04x:%04x, text \"%.63s\")\n", what, cpu.cs, cpu.ip, cpu.asmText);
    std::abort();
}

void check(bool holds, const char* what, const Cpu& cpu) {
    if (!holds) fail(what, cpu);
}

// A machine as tests/support/machine.h builds it: its own board on a closed link, a tick hook that
// never sleeps.
struct Machine {
    SerialLink link;
    OpnaBoard board{link};
    TickHook tick;
    Cpu cpu;

    Machine() {
        resetCpu(cpu);
        cpu.board = &board;
        cpu.tick = &tick;
    }
};

// All single bytes, so no padding: compared as a whole with memcmp, which is far cheaper under the
// fuzzer's comparison tracing than a member-by-member comparison.
struct BoardState {
    uint8_t display86io, ioLog;
    uint8_t status, latchA0, latchA1;
    uint8_t imageA0[256], imageA1[256];
    bool operator==(const BoardState& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

BoardState boardOf(const Machine& m) {
    BoardState s{m.board.display86io, m.board.ioLog, m.board.statusByte, m.board.addressLatchA0,
                 m.board.addressLatchA1, {}, {}};
    std::memcpy(s.imageA0, m.link.registerImageA0, sizeof s.imageA0);
    std::memcpy(s.imageA1, m.link.registerImageA1, sizeof s.imageA1);
    return s;
}

bool endsInside(const char* text, size_t size) { return std::memchr(text, '\0', size) != nullptr; }

void checkTexts(const Cpu& cpu) {
    check(endsInside(cpu.asmText, sizeof cpu.asmText), "asmText overruns its buffer", cpu);
    check(endsInside(cpu.traceText, sizeof cpu.traceText), "traceText overruns its buffer", cpu);
    check(endsInside(cpu.rmText, sizeof cpu.rmText), "rmText overruns its buffer", cpu);
    check(endsInside(cpu.regText, sizeof cpu.regText), "regText overruns its buffer", cpu);
}

struct Header {
    uint8_t bytes[kHeaderSize] = {};
    uint16_t word(size_t i) const { return static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8); }
    uint8_t switches() const { return bytes[28]; }
    int steps() const { return ((switches() >> 4) & 3) + 1; }
    unsigned stopPlacement() const { return switches() >> 6; }
};

// The image every input starts from: the reset image (vectors, the RETF at FFFF:0008) with a fixed
// pseudo-random pattern between the vector table and the top paragraph, so that stray reads see
// varied values.
std::unique_ptr<uint8_t[]> makeBaseImage() {
    Machine m;
    uint32_t state = 0x2545F491;
    for (uint32_t a = 0x500; a < 0xFFFF0; ++a) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        m.cpu.memory[a] = static_cast<uint8_t>(state);
    }
    auto image = std::make_unique<uint8_t[]>(kMemorySize);
    std::memcpy(image.get(), m.cpu.memory.get(), kMemorySize);
    return image;
}

void writeRegion(Cpu& cpu, uint16_t segment, uint16_t offset, const uint8_t*& data, size_t& left, size_t most) {
    const size_t count = left < most ? left : most;
    for (size_t i = 0; i < count; ++i) {
        writeByteLinear(cpu, linearOf(segment, static_cast<uint16_t>(offset + i)), data[i]);
    }
    data += count;
    left -= count;
}

// Sets a machine whose image holds the base image.
void load(Machine& m, const Header& h, const uint8_t* data, size_t left) {
    Cpu& c = m.cpu;
    c.ax = h.word(0); c.bx = h.word(1); c.cx = h.word(2); c.dx = h.word(3); c.bp = h.word(4);
    c.si = h.word(5); c.di = h.word(6); c.sp = h.word(7); c.ip = h.word(8); c.cs = h.word(9);
    c.ds = h.word(10); c.es = h.word(11); c.ss = h.word(12);
    unpackFlags(c, h.word(13));
    c.segOverride = c.repPrefix = c.repnzPrefix = c.stopRequested = 0;
    c.decodeOnly = 0;
    // The address the last memory operand left, which a few register forms read: the same on
    // every machine, so that no input depends on the inputs before it.
    c.eaOffset = c.eaBase = c.eaLinear = c.linear = 0;
    c.waitLoopCancel = h.switches() & 1;
    c.mode = (h.switches() >> 3) & 1 ? CpuMode::exact : CpuMode::standard;
    c.coverageOn = (h.switches() >> 1) & 1;
    // The coverage sets are left to grow: they are bounded, nothing here reads them, and clearing
    // walks every page slot.
    m.board.display86io = (h.switches() >> 2) & 1;
    m.board.setIoLog(false);
    m.board.addressLatchA0 = h.bytes[29];
    m.board.addressLatchA1 = h.bytes[30];
    m.board.statusByte = h.bytes[31];
    std::memset(m.link.registerImageA0, 0, sizeof m.link.registerImageA0);
    std::memset(m.link.registerImageA1, 0, sizeof m.link.registerImageA1);
    m.tick.waitMs = 0;
    m.tick.lastDeadline = 0;

    const uint8_t* code = data;
    const size_t codeBytes = left < kCodeBytes ? left : kCodeBytes;
    data += codeBytes;
    left -= codeBytes;
    writeRegion(c, c.ss, c.sp, data, left, 32);
    writeRegion(c, c.ds, c.si, data, left, 16);
    writeRegion(c, c.es, c.di, data, left, 16);
    writeRegion(c, c.ds, c.bx, data, left, 16);
    writeRegion(c, c.ss, c.bp, data, left, 16);
    size_t codeLeft = codeBytes;
    writeRegion(c, c.cs, c.ip, code, codeLeft, kCodeBytes);
}

// The pages of an image; bytes before the first and after the last whole page, if the image is
// not page-aligned, are compared with the twin machine instead.
struct ImagePages {
    uint8_t* begin;
    size_t length;
    size_t head;  // bytes of the image before begin
    size_t tail;  // bytes after begin + length
};

ImagePages pagesOf(const Cpu& cpu) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<uintptr_t>(cpu.memory.get());
    const uintptr_t first = (start + page - 1) & ~(page - 1);
    const uintptr_t last = (start + kMemorySize) & ~(page - 1);
    return {reinterpret_cast<uint8_t*>(first), last - first, first - start, start + kMemorySize - last};
}

void setWritable(const ImagePages& pages, bool writable) {
    if (mprotect(pages.begin, pages.length, writable ? PROT_READ | PROT_WRITE : PROT_READ) != 0) std::abort();
}

bool sameEdges(const Cpu& a, const Cpu& b, const ImagePages& pages) {
    const uint8_t* x = a.memory.get();
    const uint8_t* y = b.memory.get();
    return std::memcmp(x, y, pages.head) == 0 &&
           std::memcmp(x + kMemorySize - pages.tail, y + kMemorySize - pages.tail, pages.tail) == 0;
}

// Decodes with the image read-only (the twin still holds the same image for the unprotected edges).
void decodeOnly(Cpu& cpu, const Cpu& twin) {
    const ImagePages pages = pagesOf(cpu);
    setWritable(pages, false);
    cpu.decodeOnly = 1;
    step(cpu);
    cpu.decodeOnly = 0;
    setWritable(pages, true);
    check(sameEdges(cpu, twin, pages), "decode-only step wrote into the image", cpu);
}

// One instruction: decode-only on the texted machine (the other one, still identical, is the
// reference for the image), then both execute.
void checkedStep(Machine& texted, Machine& plain) {
    Cpu& a = texted.cpu;
    Cpu& b = plain.cpu;
    const Registers before = registersOf(a);
    const BoardState boardBefore = boardOf(texted);
    const bool jumps = transfersControl(a);

    decodeOnly(a, b);
    checkTexts(a);
    const uint16_t decodedEnd = a.ip;
    char decodedText[sizeof a.asmText];
    std::memcpy(decodedText, a.asmText, sizeof decodedText);
    a.ip = before.ip;
    check(registersOf(a) == before, "decode-only step changed a register, a flag or the stop request", a);
    check(boardOf(texted) == boardBefore, "decode-only step changed the sound board", a);
    check(a.segOverride == 0 && a.repPrefix == 0 && a.repnzPrefix == 0, "prefix state outlived a decode-only step", a);

    a.textWanted = 1;
    b.textWanted = 0;
    step(a);
    step(b);
    checkTexts(a);
    checkTexts(b);
    check(a.segOverride == 0 && a.repPrefix == 0 && a.repnzPrefix == 0, "prefix state outlived a step", a);
    check(registersOf(a) == registersOf(b), "registers or flags depend on textWanted", a);
    check(boardOf(texted) == boardOf(plain), "the sound board depends on textWanted", a);
    check(std::strcmp(a.asmText, decodedText) == 0, "executed text differs from the decoded text", a);
    if (!jumps) check(a.ip == decodedEnd, "execution ended elsewhere than the decode-only step", a);
}

struct Rig {
    std::unique_ptr<uint8_t[]> base = makeBaseImage();
    Machine texted;
    Machine plain;
    // The run loop's machines, one per mode: a machine's decoded instructions are remade whenever
    // its mode changes, which would cost more than the input and forget the earlier inputs' blocks.
    Machine runners[2];

    Rig() {
        for (Machine* m : {&texted, &plain, &runners[0], &runners[1]}) {
            std::memcpy(m->cpu.memory.get(), base.get(), kMemorySize);
        }
    }

    Machine& runnerFor(const Header& h) { return runners[(h.switches() >> 3) & 1]; }
};

Rig* rig = nullptr;

// Both images must be equal after the run; then the pages that differ from the base image are put
// back, so that the next input starts from it again without copying the whole image twice.
void compareAndRestoreImages(Rig& r) {
    constexpr size_t kPage = 4096;
    uint8_t* a = r.texted.cpu.memory.get();
    uint8_t* b = r.plain.cpu.memory.get();
    const uint8_t* base = r.base.get();
    for (size_t at = 0; at < kMemorySize; at += kPage) {
        check(std::memcmp(a + at, b + at, kPage) == 0, "memory depends on textWanted", r.texted.cpu);
        if (std::memcmp(a + at, base + at, kPage) != 0) {
            std::memcpy(a + at, base + at, kPage);
            std::memcpy(b + at, base + at, kPage);
        }
    }
}

// The linear CS:IP where `count` instructions in a row end, as decode-only steps find them; the
// machine is left as it was (a decode-only step changes only IP, the texts and scratch members).
// The last memory operand's address is put back too: a register-form LEA run next reads it, and
// the single steps it is compared with have not decoded ahead.
uint32_t endOfInstructions(Cpu& cpu, int count) {
    const uint16_t start = cpu.ip;
    const uint32_t eaOffset = cpu.eaOffset, eaBase = cpu.eaBase, eaLinear = cpu.eaLinear, linear = cpu.linear;
    cpu.decodeOnly = 1;
    for (int i = 0; i < count; ++i) step(cpu);
    cpu.decodeOnly = 0;
    const uint32_t end = linearOf(cpu.cs, cpu.ip);
    cpu.ip = start;
    cpu.eaOffset = eaOffset;
    cpu.eaBase = eaBase;
    cpu.eaLinear = eaLinear;
    cpu.linear = linear;
    return end;
}

uint32_t stopAddressFor(const Header& h, Cpu& cpu) {
    switch (h.stopPlacement()) {
        case 0: return ~0u;  // above any CS*16+IP
        case 1: return linearOf(cpu.cs, cpu.ip);
        case 2: return endOfInstructions(cpu, 1);
        default: return endOfInstructions(cpu, 2);
    }
}

struct LoopRun {
    Machine* machine;
    uint32_t stopAddress;
    RunEnd end;
    bool done = false;       // the steps have stopped where the run did
};

// The input's machine run through the run loop as a plain g runs it.
LoopRun runThroughLoop(Rig& r, const Header& h, const uint8_t* data, size_t size) {
    Machine& m = r.runnerFor(h);
    load(m, h, data, size);
    Cpu& c = m.cpu;
    c.coverageOn = 0;
    c.textWanted = 0;
    const uint32_t stop = stopAddressFor(h, c);
    const RunEnd end = runUntil(c, RunStops{stop, false, static_cast<uint64_t>(h.steps())});
    return {&m, stop, end};
}

// The stop conditions of the run loop after single step number `steps` (of `limit`), in its order;
// none when the run goes on. (No breakpoints, history or Ctrl-C here.)
std::optional<RunEnd> singleStepEnd(const Cpu& cpu, uint32_t stopAddress, int steps, int limit) {
    if (linearOf(cpu.cs, cpu.ip) == stopAddress) return RunEnd::stopAddress;
    if (cpu.stopRequested) return RunEnd::stopRequest;
    if (steps == limit) return RunEnd::stepLimit;
    return std::nullopt;
}

// The run loop's machine against the stepped one where the steps stopped.
void compareLoopRun(Rig& r, const LoopRun& run, RunEnd stepsEnd) {
    const Cpu& a = run.machine->cpu;
    const Cpu& b = r.plain.cpu;
    check(run.end == stepsEnd, "the run loop stopped for another reason than the single steps", b);
    check(a.pendingFlags.rule == kFlagsCurrent, "the run loop returned with flags still pending", b);
    check(registersOf(a) == registersOf(b), "the run loop ends with other registers or flags than single steps", b);
    check(boardOf(*run.machine) == boardOf(r.plain), "the run loop leaves another sound board than single steps", b);
    check(std::memcmp(a.memory.get(), b.memory.get(), kMemorySize) == 0,
          "the run loop leaves other memory than single steps", b);
}

// Puts the pages of the run loop's machine that differ from the base image back.
void restoreLoopRunImage(Rig& r, const LoopRun& run) {
    constexpr size_t kPage = 4096;
    uint8_t* image = run.machine->cpu.memory.get();
    const uint8_t* base = r.base.get();
    for (size_t at = 0; at < kMemorySize; at += kPage) {
        if (std::memcmp(image + at, base + at, kPage) != 0) std::memcpy(image + at, base + at, kPage);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // DOS services and the register-write echo print to the console; keep it out of the log.
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    rig = new Rig;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Header header;
    const size_t headerBytes = size < kHeaderSize ? size : kHeaderSize;
    std::memcpy(header.bytes, data, headerBytes);
    data += headerBytes;
    size -= headerBytes;

    LoopRun run = runThroughLoop(*rig, header, data, size);
    load(rig->texted, header, data, size);
    load(rig->plain, header, data, size);
    for (int i = 1; i <= header.steps(); ++i) {
        checkedStep(rig->texted, rig->plain);
        if (run.done) continue;
        if (const auto end = singleStepEnd(rig->plain.cpu, run.stopAddress, i, header.steps())) {
            compareLoopRun(*rig, run, *end);
            restoreLoopRunImage(*rig, run);
            run.done = true;
        }
    }
    compareAndRestoreImages(*rig);
    return 0;
}
