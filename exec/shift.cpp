// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opShiftGroup(Cpu& cpu) { setText(cpu, "???"); }
