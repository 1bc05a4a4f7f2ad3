// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opInAlImm(Cpu& cpu) { setText(cpu, "???"); }
void opInAxImm(Cpu& cpu) { setText(cpu, "???"); }
void opOutImmAl(Cpu& cpu) { setText(cpu, "???"); }
void opOutImmAx(Cpu& cpu) { setText(cpu, "???"); }
void opInAlDx(Cpu& cpu) { setText(cpu, "???"); }
void opInAxDx(Cpu& cpu) { setText(cpu, "???"); }
void opOutDxAl(Cpu& cpu) { setText(cpu, "???"); }
void opOutDxAx(Cpu& cpu) { setText(cpu, "???"); }
