// The comparing string instructions CMPS and SCAS. CMPS subtracts the destination element ES:DI
// from the source element segment:SI (DS unless a prefix overrides it); SCAS subtracts the
// destination element from AL or AX. The flags are those of CMP. Under F3 the comparison repeats
// while the elements are equal, under F2 while they differ (F3 decides when both are present),
// for at most CX elements. (On the 8086 the last of the two prefixes decides; the prefix walk keeps
// only that one.)
#include "core/flags.h"
#include "core/memory.h"
#include "core/modes.h"
#include "disasm/text.h"
#include "exec/handlers.h"
#include "exec/string_elements.h"

namespace {

template <class M>
void compareBytes(Cpu& cpu, uint32_t minuend, uint32_t subtrahend) {
    cpu.result = minuend - subtrahend;
    M::flagsSub(cpu, false, minuend, subtrahend, cpu.result);
}

template <class M>
void compareWords(Cpu& cpu, uint32_t minuend, uint32_t subtrahend) {
    cpu.result = minuend - subtrahend;
    M::flagsSub(cpu, true, minuend, subtrahend, cpu.result);
}

// ---- one element of each instruction, index registers included

template <class M>
void compareByteStrings(Cpu& cpu) {
    const uint8_t source = readByteLinear(cpu, sourceAddress<M>(cpu));
    compareBytes<M>(cpu, source, readByteLinear(cpu, destinationAddress<M>(cpu)));
    cpu.si = stepped(cpu.si, cpu, 1);
    cpu.di = stepped(cpu.di, cpu, 1);
}

template <class M>
void compareWordStrings(Cpu& cpu) {
    sourceAddress<M>(cpu);
    destinationAddress<M>(cpu);
    cpu.imm16 = sourceWord<M>(cpu);
    cpu.farSegment = destinationWord<M>(cpu);
    compareWords<M>(cpu, cpu.imm16, cpu.farSegment);
    cpu.si = stepped(cpu.si, cpu, 2);
    cpu.di = stepped(cpu.di, cpu, 2);
}

template <class M>
void scanByte(Cpu& cpu) {
    compareBytes<M>(cpu, cpu.ax & 0xFF, readByteLinear(cpu, destinationAddress<M>(cpu)));
    cpu.di = stepped(cpu.di, cpu, 1);
}

template <class M>
void scanWord(Cpu& cpu) {
    destinationAddress<M>(cpu);
    cpu.farSegment = destinationWord<M>(cpu);
    compareWords<M>(cpu, cpu.ax, cpu.farSegment);
    cpu.di = stepped(cpu.di, cpu, 2);
}

// Once without a repeat prefix. Otherwise, while CX is not 0: CX - 1, compare one element, and
// stop early when ZF shows a difference (F3) or an equality (F2). With CX = 0 the flags stay.
template <typename Element>
void repeatWhileMatching(Cpu& cpu, Element element) {
    if (!cpu.repPrefix && !cpu.repnzPrefix) {
        element(cpu);
        return;
    }
    const uint8_t stopZf = cpu.repPrefix ? 0 : 1;
    while (cpu.cx != 0) {
        --cpu.cx;
        element(cpu);
        if (cpu.zfFlag == stopZf) return;
    }
}

}  // namespace

template <class M>
void opCmpsb(Cpu& cpu) {
    setText(cpu, "cmpsb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, compareByteStrings<M>);
}

template <class M>
void opCmpsw(Cpu& cpu) {
    setText(cpu, "cmpsw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, compareWordStrings<M>);
}

template <class M>
void opScasb(Cpu& cpu) {
    setText(cpu, "scasb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, scanByte<M>);
}

template <class M>
void opScasw(Cpu& cpu) {
    setText(cpu, "scasw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, scanWord<M>);
}

VELKOR_FOR_BOTH_MODES(opCmpsb)
VELKOR_FOR_BOTH_MODES(opCmpsw)
VELKOR_FOR_BOTH_MODES(opScasb)
VELKOR_FOR_BOTH_MODES(opScasw)
