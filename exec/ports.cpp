// IN and OUT. Byte forms reach the sound board's ports; the word forms answer 0 and write nothing,
// as the board has no 16-bit ports. A port given as an immediate is zero-extended, so the board
// (0x188 and up) is reached only through DX.
#include "core/memory.h"
#include "disasm/text.h"
#include "exec/handlers.h"
#include "host/opna_board.h"

namespace {

uint8_t readPort(Cpu& cpu, uint16_t port) { return cpu.board ? cpu.board->portRead(port) : 0; }

void writePort(Cpu& cpu, uint16_t port, uint8_t value) {
    if (cpu.board) cpu.board->portWrite(port, value);
}

void setAl(Cpu& cpu, uint8_t value) { cpu.ax = static_cast<uint16_t>((cpu.ax & 0xFF00) | value); }

}  // namespace

void opInAlImm(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "in\tal,%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    setAl(cpu, readPort(cpu, cpu.imm8));
}

void opInAxImm(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "in\tax,%02x", cpu.imm8);
    if (cpu.decodeOnly) return;
    cpu.ax = 0;
}

void opOutImmAl(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "out\t%02x,al", cpu.imm8);
    if (cpu.decodeOnly) return;
    writePort(cpu, cpu.imm8, static_cast<uint8_t>(cpu.ax));
}

void opOutImmAx(Cpu& cpu) {
    cpu.imm8 = fetchByte(cpu);
    setText(cpu, "out\t%02x,ax", cpu.imm8);
}

void opInAlDx(Cpu& cpu) {
    setText(cpu, "in\tal,dx");
    if (cpu.decodeOnly) return;
    setAl(cpu, readPort(cpu, cpu.dx));
}

void opInAxDx(Cpu& cpu) {
    setText(cpu, "in\tax,dx");
    if (cpu.decodeOnly) return;
    cpu.ax = 0;
}

void opOutDxAl(Cpu& cpu) {
    setText(cpu, "out\tdx,al");
    if (cpu.decodeOnly) return;
    writePort(cpu, cpu.dx, static_cast<uint8_t>(cpu.ax));
}

void opOutDxAx(Cpu& cpu) { setText(cpu, "out\tdx,ax"); }
