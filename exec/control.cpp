// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opJccShort(Cpu& cpu) { setText(cpu, "???"); }
void opJccNear(Cpu& cpu) { setText(cpu, "???"); }
void opLoopnz(Cpu& cpu) { setText(cpu, "???"); }
void opLoopz(Cpu& cpu) { setText(cpu, "???"); }
void opLoop(Cpu& cpu) { setText(cpu, "???"); }
void opJcxz(Cpu& cpu) { setText(cpu, "???"); }
void opCallNear(Cpu& cpu) { setText(cpu, "???"); }
void opJmpNear(Cpu& cpu) { setText(cpu, "???"); }
void opJmpFar(Cpu& cpu) { setText(cpu, "???"); }
void opJmpShort(Cpu& cpu) { setText(cpu, "???"); }
void opCallFar(Cpu& cpu) { setText(cpu, "???"); }
void opRetImm(Cpu& cpu) { setText(cpu, "???"); }
void opRet(Cpu& cpu) { setText(cpu, "???"); }
void opRetfImm(Cpu& cpu) { setText(cpu, "???"); }
void opRetf(Cpu& cpu) { setText(cpu, "???"); }
void opHlt(Cpu& cpu) { setText(cpu, "???"); }
void opGroupFF(Cpu& cpu) { setText(cpu, "???"); }
