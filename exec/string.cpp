// String instructions MOVS, STOS, LODS and the port forms INS and OUTS (CMPS and SCAS are in
// string_compare.cpp). The source is segment:SI, DS unless a prefix overrides it; the destination
// is always ES:DI. SI and DI move by the element size after each element, down when DF is set,
// modulo 65536. Every byte goes through the mode's address rule (in the standard mode a word's high
// byte is at the linear address + 1, on the 8086 at offset + 1 of the segment), so the element
// loops are exact everywhere. Under F3 all CX elements run inside the one step; F2 repeats these
// instructions only on the 8086.
//
// REP MOVS and REP STOS also have block versions for a run that lies in one piece of the image,
// each one built to leave exactly the bytes the element loop would leave.
#include <algorithm>
#include <cstring>
#include <optional>

#include "core/memory.h"
#include "core/modes.h"
#include "disasm/text.h"
#include "exec/handlers.h"
#include "exec/string_elements.h"
#include "host/opna_board.h"

namespace {

uint8_t readPort(Cpu& cpu, uint16_t port) { return cpu.board ? cpu.board->portRead(port) : 0; }

void writePort(Cpu& cpu, uint16_t port, uint8_t value) {
    if (cpu.board) cpu.board->portWrite(port, value);
}

// ---- the port elements

// One port read per element, with all its side effects (the status port clears on reading).
template <class M>
void inputByte(Cpu& cpu) {
    const uint8_t value = readPort(cpu, cpu.dx);
    writeByteLinear(cpu, destinationAddress<M>(cpu), value);
    advanceDestination(cpu, kByteSize);
}

// A word input answers 0 without reading any port, as IN AX,DX does.
template <class M>
void inputWord(Cpu& cpu) {
    destinationAddress<M>(cpu);
    M::writeWord(cpu, cpu.dstBase, cpu.di, 0);
    advanceDestination(cpu, kWordSize);
}

template <class M>
void outputByte(Cpu& cpu) {
    writePort(cpu, cpu.dx, readByteLinear(cpu, sourceAddress<M>(cpu)));
    advanceSource(cpu, kByteSize);
}

// A word output goes nowhere, as OUT DX,AX does: only SI moves.
void outputWord(Cpu& cpu) { advanceSource(cpu, kWordSize); }

// Once without a repeat; else CX times, nothing at all when CX is 0.
template <class M, typename Element>
void repeatCounted(Cpu& cpu, Element element) {
    if (!M::repeatsCounted(cpu)) {
        element(cpu);
        return;
    }
    for (; cpu.cx != 0; --cpu.cx) element(cpu);
}

// ---- block versions of REP MOVS and REP STOS

uint8_t* image(Cpu& cpu) { return cpu.memory.get(); }

// Where a run of elements lies in the image when it is one piece. `lowest` is the image index of
// its lowest byte; `first` that of the first element processed (the highest element when DF = 1).
struct Block {
    uint32_t lowest;
    uint32_t first;
};

// A run of `count` >= 1 elements is one piece when the index register does not wrap inside it
// (the last element's offset is still in the segment; in the standard mode a word at offset 0xFFFF
// is fine, its high byte is at the next linear address anyway, while the 8086 wraps that byte to
// offset 0) and its bytes do not cross the end of the image.
template <class M>
std::optional<Block> contiguousRun(uint32_t base, uint16_t index, uint32_t count, uint32_t size, bool down) {
    const uint32_t reach = size * (count - 1);  // offset distance from the first to the last element
    const uint32_t tail = M::offsetsWrap ? size - 1 : 0;  // the element's bytes after its offset
    if (index + tail > 0xFFFF) return std::nullopt;
    if (down ? index < reach : index + reach + tail > 0xFFFF) return std::nullopt;
    const uint32_t lowest = (base + (down ? index - reach : index)) & kAddressMask;
    if (lowest + size * count > kMemorySize) return std::nullopt;
    return Block{lowest, down ? lowest + reach : lowest};
}

// The forward byte loop image[dst + i] = image[src + i], i = 0 .. n-1. If the destination starts
// inside the source, ahead of it, the read of byte i >= dst - src sees a byte the loop stored
// itself, so the bytes from src on repeat with period dst - src: each memcpy doubles the finished
// part by copying whole periods from src (never overlapping). In every other case no read meets an
// earlier write and memmove leaves the same bytes.
void byteLoopUpward(uint8_t* image, uint32_t src, uint32_t dst, uint32_t n) {
    if (dst <= src || dst >= src + n) {
        std::memmove(image + dst, image + src, n);
        return;
    }
    const uint32_t period = dst - src;
    for (uint32_t done = 0; done < n;) {  // done stays a multiple of the period until the last copy
        const uint32_t chunk = std::min(period + done, n - done);
        std::memcpy(image + dst + done, image + src, chunk);
        done += chunk;
    }
}

// The mirror image for DF = 1: image[dst - i] = image[src - i], i = 0 .. n-1. Reads meet earlier
// writes only when the destination lies inside the source, below it; the bytes then repeat
// downwards with period src - dst.
void byteLoopDownward(uint8_t* image, uint32_t src, uint32_t dst, uint32_t n) {
    if (src <= dst || src >= dst + n) {
        std::memmove(image + (dst + 1 - n), image + (src + 1 - n), n);
        return;
    }
    const uint32_t period = src - dst;
    for (uint32_t done = 0; done < n;) {
        const uint32_t chunk = std::min(period + done, n - done);
        std::memcpy(image + (dst - done + 1 - chunk), image + (src + 1 - chunk), chunk);
        done += chunk;
    }
}

void finishRun(Cpu& cpu, uint32_t size, bool movesSource) {
    if (movesSource) advanceSource(cpu, size, cpu.cx);
    advanceDestination(cpu, size, cpu.cx);
    cpu.cx = 0;
}

template <class M>
bool repeatsElements(const Cpu& cpu) { return M::repeatsCounted(cpu) && cpu.cx != 0; }

// REP MOVSB, one byte after the other, is the byte loop of its direction.
template <class M>
bool moveBytesAsBlock(Cpu& cpu) {
    const bool down = cpu.dfFlag != 0;
    const auto source = contiguousRun<M>(cpu.srcBase, cpu.si, cpu.cx, kByteSize, down);
    const auto destination = contiguousRun<M>(cpu.dstBase, cpu.di, cpu.cx, kByteSize, down);
    if (!source || !destination) return false;
    if (down) {
        byteLoopDownward(image(cpu), source->first, destination->first, cpu.cx);
    } else {
        byteLoopUpward(image(cpu), source->first, destination->first, cpu.cx);
    }
    finishRun(cpu, kByteSize, true);
    return true;
}

// REP MOVSW upwards copies low byte, high byte, next low byte, ...: exactly the forward byte loop
// over 2 * CX bytes. Downwards the elements go down but each one's bytes go up, which is no byte
// loop; it is one memmove when no read can meet an earlier write of the run: the destination at
// or above the source but not one byte above it, or wholly below the source. Else the element loop.
template <class M>
bool moveWordsAsBlock(Cpu& cpu) {
    const bool down = cpu.dfFlag != 0;
    const auto source = contiguousRun<M>(cpu.srcBase, cpu.si, cpu.cx, kWordSize, down);
    const auto destination = contiguousRun<M>(cpu.dstBase, cpu.di, cpu.cx, kWordSize, down);
    if (!source || !destination) return false;
    const uint32_t length = kWordSize * cpu.cx;
    if (!down) {
        byteLoopUpward(image(cpu), source->first, destination->first, length);
    } else {
        const uint32_t s = source->first;
        const uint32_t d = destination->first;
        const bool readsOnlyOriginals = (d >= s && d != s + 1) || s >= d + length;
        if (!readsOnlyOriginals) return false;
        std::memmove(image(cpu) + destination->lowest, image(cpu) + source->lowest, length);
    }
    finishRun(cpu, kWordSize, true);
    return true;
}

// REP STOS stores the same element everywhere, so the order does not matter: the run's bytes are
// AL repeated, or AL AH repeated from the run's lowest byte.
template <class M>
bool storeAsBlock(Cpu& cpu, uint32_t size) {
    const auto destination = contiguousRun<M>(cpu.dstBase, cpu.di, cpu.cx, size, cpu.dfFlag != 0);
    if (!destination) return false;
    const uint32_t length = size * cpu.cx;
    uint8_t* block = image(cpu) + destination->lowest;
    if (size == kByteSize || lowByte(cpu.ax) == highByte(cpu.ax)) {
        std::memset(block, lowByte(cpu.ax), length);
    } else {
        block[0] = lowByte(cpu.ax);
        block[1] = highByte(cpu.ax);
        byteLoopUpward(image(cpu), destination->lowest, destination->lowest + 2, length - 2);
    }
    finishRun(cpu, size, false);
    return true;
}

}  // namespace

template <class M>
void opInsb(Cpu& cpu) {
    setText(cpu, "insb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatCounted<M>(cpu, inputByte<M>);
}

template <class M>
void opInsw(Cpu& cpu) {
    setText(cpu, "insw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatCounted<M>(cpu, inputWord<M>);
}

template <class M>
void opOutsb(Cpu& cpu) {
    setText(cpu, "outsb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatCounted<M>(cpu, outputByte<M>);
}

template <class M>
void opOutsw(Cpu& cpu) {
    setText(cpu, "outsw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatCounted<M>(cpu, outputWord);
}

template <class M>
void opMovsb(Cpu& cpu) {
    setText(cpu, "movsb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    if (repeatsElements<M>(cpu) && moveBytesAsBlock<M>(cpu)) return;
    repeatCounted<M>(cpu, moveByte<M>);
}

template <class M>
void opMovsw(Cpu& cpu) {
    setText(cpu, "movsw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    if (repeatsElements<M>(cpu) && moveWordsAsBlock<M>(cpu)) return;
    repeatCounted<M>(cpu, moveWord<M>);
}

template <class M>
void opStosb(Cpu& cpu) {
    setText(cpu, "stosb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    if (repeatsElements<M>(cpu) && storeAsBlock<M>(cpu, kByteSize)) return;
    repeatCounted<M>(cpu, storeByte<M>);
}

template <class M>
void opStosw(Cpu& cpu) {
    setText(cpu, "stosw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    if (repeatsElements<M>(cpu) && storeAsBlock<M>(cpu, kWordSize)) return;
    repeatCounted<M>(cpu, storeWord<M>);
}

// LODS notes the first element it reads, also when only decoding.
template <class M>
void opLodsb(Cpu& cpu) {
    setText(cpu, "lodsb");
    takeSegmentBases(cpu);
    const uint32_t address = sourceAddress<M>(cpu);
    setTrace(cpu, "(%05x:%02x)", address, readByteLinear(cpu, address));
    if (cpu.decodeOnly) return;
    repeatCounted<M>(cpu, loadByte<M>);
}

template <class M>
void opLodsw(Cpu& cpu) {
    setText(cpu, "lodsw");
    takeSegmentBases(cpu);
    const uint32_t address = sourceAddress<M>(cpu);
    setTrace(cpu, "(%05x:%04x)", address, sourceWord<M>(cpu));
    if (cpu.decodeOnly) return;
    repeatCounted<M>(cpu, loadWord<M>);
}

VELKOR_FOR_BOTH_MODES(opInsb)
VELKOR_FOR_BOTH_MODES(opInsw)
VELKOR_FOR_BOTH_MODES(opOutsb)
VELKOR_FOR_BOTH_MODES(opOutsw)
VELKOR_FOR_BOTH_MODES(opMovsb)
VELKOR_FOR_BOTH_MODES(opMovsw)
VELKOR_FOR_BOTH_MODES(opStosb)
VELKOR_FOR_BOTH_MODES(opStosw)
VELKOR_FOR_BOTH_MODES(opLodsb)
VELKOR_FOR_BOTH_MODES(opLodsw)
