// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opInt3(Cpu& cpu) { setText(cpu, "???"); }
void opInt(Cpu& cpu) { setText(cpu, "???"); }
void opInto(Cpu& cpu) { setText(cpu, "???"); }
void opIret(Cpu& cpu) { setText(cpu, "???"); }
