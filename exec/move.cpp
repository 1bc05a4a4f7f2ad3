// Placeholder handlers: replaced by the real group.
#include "disasm/text.h"
#include "exec/handlers.h"

void opPushSegment(Cpu& cpu) { setText(cpu, "???"); }
void opPopSegment(Cpu& cpu) { setText(cpu, "???"); }
void opPushReg(Cpu& cpu) { setText(cpu, "???"); }
void opPopReg(Cpu& cpu) { setText(cpu, "???"); }
void opPusha(Cpu& cpu) { setText(cpu, "???"); }
void opPopa(Cpu& cpu) { setText(cpu, "???"); }
void opPushImm16(Cpu& cpu) { setText(cpu, "???"); }
void opPushImm8(Cpu& cpu) { setText(cpu, "???"); }
void opXchgRm8(Cpu& cpu) { setText(cpu, "???"); }
void opXchgRm16(Cpu& cpu) { setText(cpu, "???"); }
void opMovRmReg8(Cpu& cpu) { setText(cpu, "???"); }
void opMovRmReg16(Cpu& cpu) { setText(cpu, "???"); }
void opMovRegRm8(Cpu& cpu) { setText(cpu, "???"); }
void opMovRegRm16(Cpu& cpu) { setText(cpu, "???"); }
void opMovRmSeg(Cpu& cpu) { setText(cpu, "???"); }
void opLea(Cpu& cpu) { setText(cpu, "???"); }
void opMovSegRm(Cpu& cpu) { setText(cpu, "???"); }
void opPopRm(Cpu& cpu) { setText(cpu, "???"); }
void opNop(Cpu& cpu) { setText(cpu, "???"); }
void opXchgAx(Cpu& cpu) { setText(cpu, "???"); }
void opCbw(Cpu& cpu) { setText(cpu, "???"); }
void opCwd(Cpu& cpu) { setText(cpu, "???"); }
void opPushf(Cpu& cpu) { setText(cpu, "???"); }
void opPopf(Cpu& cpu) { setText(cpu, "???"); }
void opSahf(Cpu& cpu) { setText(cpu, "???"); }
void opLahf(Cpu& cpu) { setText(cpu, "???"); }
void opMovAlMem(Cpu& cpu) { setText(cpu, "???"); }
void opMovAxMem(Cpu& cpu) { setText(cpu, "???"); }
void opMovMemAl(Cpu& cpu) { setText(cpu, "???"); }
void opMovMemAx(Cpu& cpu) { setText(cpu, "???"); }
void opMovReg8Imm(Cpu& cpu) { setText(cpu, "???"); }
void opMovReg16Imm(Cpu& cpu) { setText(cpu, "???"); }
void opLes(Cpu& cpu) { setText(cpu, "???"); }
void opLds(Cpu& cpu) { setText(cpu, "???"); }
void opMovRmImm8(Cpu& cpu) { setText(cpu, "???"); }
void opMovRmImm16(Cpu& cpu) { setText(cpu, "???"); }
void opEnter(Cpu& cpu) { setText(cpu, "???"); }
void opLeave(Cpu& cpu) { setText(cpu, "???"); }
void opXlat(Cpu& cpu) { setText(cpu, "???"); }
void pushRmWord(Cpu& cpu) { setText(cpu, "???"); }
