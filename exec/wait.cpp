// WAIT: the guest's only clock. Each one is a tick of the host's tick hook.
#include "disasm/text.h"
#include "exec/handlers.h"
#include "host/opna_board.h"
#include "host/tick_hook.h"

void opWait(Cpu& cpu) {
    setText(cpu, "wait");
    if (cpu.decodeOnly || !cpu.tick || !cpu.board) return;
    waitTick(*cpu.tick, *cpu.board);
}
