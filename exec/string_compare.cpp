// The comparing string instructions CMPS and SCAS. CMPS subtracts the destination element ES:DI
// from the source element segment:SI (DS unless a prefix overrides it); SCAS subtracts the
// destination element from AL or AX. The flags are those of CMP. Under F3 the comparison repeats
// while the elements are equal, under F2 while they differ (F3 decides when both are present),
// for at most CX elements.
#include "core/flags.h"
#include "core/memory.h"
#include "disasm/text.h"
#include "exec/handlers.h"
#include "exec/string_elements.h"

namespace {

void compareBytes(Cpu& cpu, uint32_t minuend, uint32_t subtrahend) {
    cpu.result = minuend - subtrahend;
    flagsSub8(cpu, minuend, subtrahend, cpu.result);
}

void compareWords(Cpu& cpu, uint32_t minuend, uint32_t subtrahend) {
    cpu.result = minuend - subtrahend;
    flagsSub16(cpu, minuend, subtrahend, cpu.result);
}

// ---- one element of each instruction, index registers included

void compareByteStrings(Cpu& cpu) {
    const uint8_t source = readByteLinear(cpu, sourceAddress(cpu));
    compareBytes(cpu, source, readByteLinear(cpu, destinationAddress(cpu)));
    cpu.si = stepped(cpu.si, cpu, 1);
    cpu.di = stepped(cpu.di, cpu, 1);
}

void compareWordStrings(Cpu& cpu) {
    cpu.imm16 = readWordLinear(cpu, sourceAddress(cpu));
    cpu.farSegment = readWordLinear(cpu, destinationAddress(cpu));
    compareWords(cpu, cpu.imm16, cpu.farSegment);
    cpu.si = stepped(cpu.si, cpu, 2);
    cpu.di = stepped(cpu.di, cpu, 2);
}

void scanByte(Cpu& cpu) {
    compareBytes(cpu, cpu.ax & 0xFF, readByteLinear(cpu, destinationAddress(cpu)));
    cpu.di = stepped(cpu.di, cpu, 1);
}

void scanWord(Cpu& cpu) {
    cpu.farSegment = readWordLinear(cpu, destinationAddress(cpu));
    compareWords(cpu, cpu.ax, cpu.farSegment);
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

void opCmpsb(Cpu& cpu) {
    setText(cpu, "cmpsb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, compareByteStrings);
}

void opCmpsw(Cpu& cpu) {
    setText(cpu, "cmpsw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, compareWordStrings);
}

void opScasb(Cpu& cpu) {
    setText(cpu, "scasb");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, scanByte);
}

void opScasw(Cpu& cpu) {
    setText(cpu, "scasw");
    if (cpu.decodeOnly) return;
    takeSegmentBases(cpu);
    repeatWhileMatching(cpu, scanWord);
}
