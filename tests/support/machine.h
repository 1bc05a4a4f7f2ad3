#pragma once
// A machine in the program's start-up state (CS = DS = ES = SS = 0, IP = 0100, SP = FFF8), with its
// own sound board, serial link (closed) and tick hook (no sleeping), for instruction tests.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/cpu.h"
#include "core/memory.h"
#include "exec/step.h"
#include "host/opna_board.h"
#include "host/serial_link.h"
#include "host/tick_hook.h"

struct TestMachine {
    SerialLink link;
    OpnaBoard board{link};
    TickHook tick;
    Cpu cpu;

    TestMachine() {
        resetCpu(cpu);
        cpu.cs = cpu.ds = cpu.es = cpu.ss = 0;
        cpu.ip = 0x0100;
        cpu.sp = 0xFFF8;
        cpu.board = &board;
        cpu.tick = &tick;
        tick.waitMs = 0;
    }

    // Places bytes at CS:IP (not moving IP).
    void code(std::initializer_list<uint8_t> bytes) { poke(linearOf(cpu.cs, cpu.ip), bytes); }
    void poke(uint32_t linear, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) writeByteLinear(cpu, linear++, b);
    }
    uint8_t peek(uint32_t linear) const { return readByteLinear(cpu, linear); }
    uint16_t peekWord(uint32_t linear) const { return readWordLinear(cpu, linear); }

    // Executes one instruction.
    void run() { step(cpu); }
    // Decodes one instruction without executing it; IP is left after it (the caller may restore it).
    void decode() {
        cpu.decodeOnly = 1;
        step(cpu);
        cpu.decodeOnly = 0;
    }
    std::string text() const { return cpu.asmText; }
    std::string trace() const { return cpu.traceText; }
};
