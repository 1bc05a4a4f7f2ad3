// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opInsb(Cpu& cpu) { setText(cpu, "???"); }
void opInsw(Cpu& cpu) { setText(cpu, "???"); }
void opOutsb(Cpu& cpu) { setText(cpu, "???"); }
void opOutsw(Cpu& cpu) { setText(cpu, "???"); }
void opMovsb(Cpu& cpu) { setText(cpu, "???"); }
void opMovsw(Cpu& cpu) { setText(cpu, "???"); }
void opCmpsb(Cpu& cpu) { setText(cpu, "???"); }
void opCmpsw(Cpu& cpu) { setText(cpu, "???"); }
void opStosb(Cpu& cpu) { setText(cpu, "???"); }
void opStosw(Cpu& cpu) { setText(cpu, "???"); }
void opLodsb(Cpu& cpu) { setText(cpu, "???"); }
void opLodsw(Cpu& cpu) { setText(cpu, "???"); }
void opScasb(Cpu& cpu) { setText(cpu, "???"); }
void opScasw(Cpu& cpu) { setText(cpu, "???"); }
