// DOS INT 21h functions: print a string, write to handle 2, set and get an interrupt vector, stay
// resident, terminate, and the memory-block calls, which only report themselves. Every function
// reports success (CF = 0) and returns to the instruction after the INT with the current flags.
#include "host/dos_services.h"

#include <cstdio>

#include "core/memory.h"

namespace {

constexpr uint8_t kStringTerminator = 0x24;  // '$'
constexpr uint16_t kStandardErrorHandle = 2;
constexpr uint16_t kInterruptFrameBytes = 6;  // flags, CS, IP

uint8_t al(const Cpu& cpu) { return static_cast<uint8_t>(cpu.ax); }
uint8_t ah(const Cpu& cpu) { return static_cast<uint8_t>(cpu.ax >> 8); }

uint32_t vectorAddress(uint8_t vector) { return static_cast<uint32_t>(vector) * 4; }

// Guest bytes go to the console untranslated, one at a time.
void printGuestByte(uint8_t byte) { std::fputc(byte, stdout); }

// 09h: the bytes at DS:DX up to '$' or NUL. A string without either stops after one pass over the
// whole image, so a stray pointer cannot hang the host.
void printString(Cpu& cpu) {
    uint32_t address = linearOf(cpu.ds, cpu.dx);
    for (uint32_t count = 0; count < kMemorySize; ++count, address = (address + 1) & kAddressMask) {
        const uint8_t byte = readByteLinear(cpu, address);
        if (byte == kStringTerminator || byte == 0) return;
        printGuestByte(byte);
    }
}

// 25h: vector AL := DS:DX.
void setInterruptVector(Cpu& cpu) {
    std::printf("set interrupt vector [%02x][%04x:%04x]\n", al(cpu), cpu.ds, cpu.dx);
    const uint32_t address = vectorAddress(al(cpu));
    writeWordLinear(cpu, address, cpu.dx);
    writeWordLinear(cpu, address + 2, cpu.ds);
}

// 35h: ES:BX := vector AL.
void getInterruptVector(Cpu& cpu) {
    const uint32_t address = vectorAddress(al(cpu));
    cpu.bx = readWordLinear(cpu, address);
    cpu.es = readWordLinear(cpu, address + 2);
    std::printf("read interrupt vector [%02x][%04x:%04x]\n", al(cpu), cpu.es, cpu.bx);
}

// 40h: only the standard-error handle is written, to standard output like everything else; the
// offset wraps inside DS. AX (the count written) is left as it was.
void writeToHandle(Cpu& cpu) {
    if (cpu.bx != kStandardErrorHandle) return;
    for (uint16_t i = 0; i < cpu.cx; ++i) {
        printGuestByte(readByteAt(cpu, cpu.ds, static_cast<uint16_t>(cpu.dx + i)));
    }
}

void stopWithMessage(Cpu& cpu, const char* message) {
    std::printf("%s", message);
    cpu.stopRequested = 1;
}

void runFunction(Cpu& cpu) {
    switch (ah(cpu)) {
        case 0x09: printString(cpu); break;
        case 0x25: setInterruptVector(cpu); break;
        case 0x31: stopWithMessage(cpu, "stay resident\n"); break;
        case 0x35: getInterruptVector(cpu); break;
        case 0x40: writeToHandle(cpu); break;
        case 0x48: std::printf("alloc memory block\n"); break;
        case 0x49: std::printf("dealloc memory block\n"); break;
        case 0x4A: std::printf("change alloc memory block\n"); break;
        case 0x4C: stopWithMessage(cpu, "terminate a process\n"); break;
        default: std::printf("not dos-function implement\n"); break;
    }
}

}  // namespace

void runDosService(Cpu& cpu) {
    cpu.cfFlag = 0;
    runFunction(cpu);
    // The frame stays in memory; only SP forgets it.
    cpu.sp = static_cast<uint16_t>(cpu.sp + kInterruptFrameBytes);
}
