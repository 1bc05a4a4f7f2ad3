// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opAluRmReg8(Cpu& cpu) { setText(cpu, "???"); }
void opAluRmReg16(Cpu& cpu) { setText(cpu, "???"); }
void opAluRegRm8(Cpu& cpu) { setText(cpu, "???"); }
void opAluRegRm16(Cpu& cpu) { setText(cpu, "???"); }
void opAluAlImm(Cpu& cpu) { setText(cpu, "???"); }
void opAluAxImm(Cpu& cpu) { setText(cpu, "???"); }
void opGroup80(Cpu& cpu) { setText(cpu, "???"); }
void opGroup81(Cpu& cpu) { setText(cpu, "???"); }
void opGroup83(Cpu& cpu) { setText(cpu, "???"); }
void opIncReg(Cpu& cpu) { setText(cpu, "???"); }
void opDecReg(Cpu& cpu) { setText(cpu, "???"); }
void opGroupFE(Cpu& cpu) { setText(cpu, "???"); }
void opTestRmReg8(Cpu& cpu) { setText(cpu, "???"); }
void opTestRmReg16(Cpu& cpu) { setText(cpu, "???"); }
void opTestAlImm(Cpu& cpu) { setText(cpu, "???"); }
void opTestAxImm(Cpu& cpu) { setText(cpu, "???"); }
void opGroupF6(Cpu& cpu) { setText(cpu, "???"); }
void opGroupF7(Cpu& cpu) { setText(cpu, "???"); }
void opImulImm16(Cpu& cpu) { setText(cpu, "???"); }
void opImulImm8(Cpu& cpu) { setText(cpu, "???"); }
void opAam(Cpu& cpu) { setText(cpu, "???"); }
void opAad(Cpu& cpu) { setText(cpu, "???"); }
void opSetalc(Cpu& cpu) { setText(cpu, "???"); }
void opDecimalAdjust(Cpu& cpu) { setText(cpu, "???"); }
void opCmc(Cpu& cpu) { setText(cpu, "???"); }
void opFlagSet(Cpu& cpu) { setText(cpu, "???"); }
void incDecRmWord(Cpu& cpu) { setText(cpu, "???"); }
