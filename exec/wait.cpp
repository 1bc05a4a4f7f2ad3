// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opWait(Cpu& cpu) { setText(cpu, "???"); }
