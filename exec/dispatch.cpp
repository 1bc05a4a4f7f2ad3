// The opcode dispatch tables: one entry per opcode byte, and the 0F page's 16 near jumps.
#include "exec/handlers.h"

// clang-format off
const Handler kOpcodeTable[256] = {
    // 00
    opAluRmReg8<kAluAdd>, opAluRmReg16<kAluAdd>, opAluRegRm8<kAluAdd>, opAluRegRm16<kAluAdd>,
    opAluAlImm<kAluAdd>, opAluAxImm<kAluAdd>, opPushSegment, opPopSegment,
    opAluRmReg8<kAluOr>, opAluRmReg16<kAluOr>, opAluRegRm8<kAluOr>, opAluRegRm16<kAluOr>,
    opAluAlImm<kAluOr>, opAluAxImm<kAluOr>, opPushSegment, opExtendedPage,
    // 10
    opAluRmReg8<kAluAdc>, opAluRmReg16<kAluAdc>, opAluRegRm8<kAluAdc>, opAluRegRm16<kAluAdc>,
    opAluAlImm<kAluAdc>, opAluAxImm<kAluAdc>, opPushSegment, opPopSegment,
    opAluRmReg8<kAluSbb>, opAluRmReg16<kAluSbb>, opAluRegRm8<kAluSbb>, opAluRegRm16<kAluSbb>,
    opAluAlImm<kAluSbb>, opAluAxImm<kAluSbb>, opPushSegment, opPopSegment,
    // 20
    opAluRmReg8<kAluAnd>, opAluRmReg16<kAluAnd>, opAluRegRm8<kAluAnd>, opAluRegRm16<kAluAnd>,
    opAluAlImm<kAluAnd>, opAluAxImm<kAluAnd>, nullptr, opDecimalAdjust,
    opAluRmReg8<kAluSub>, opAluRmReg16<kAluSub>, opAluRegRm8<kAluSub>, opAluRegRm16<kAluSub>,
    opAluAlImm<kAluSub>, opAluAxImm<kAluSub>, nullptr, opDecimalAdjust,
    // 30
    opAluRmReg8<kAluXor>, opAluRmReg16<kAluXor>, opAluRegRm8<kAluXor>, opAluRegRm16<kAluXor>,
    opAluAlImm<kAluXor>, opAluAxImm<kAluXor>, nullptr, opDecimalAdjust,
    opAluRmReg8<kAluCmp>, opAluRmReg16<kAluCmp>, opAluRegRm8<kAluCmp>, opAluRegRm16<kAluCmp>,
    opAluAlImm<kAluCmp>, opAluAxImm<kAluCmp>, nullptr, opDecimalAdjust,
    // 40
    opIncReg, opIncReg, opIncReg, opIncReg,
    opIncReg, opIncReg, opIncReg, opIncReg,
    opDecReg, opDecReg, opDecReg, opDecReg,
    opDecReg, opDecReg, opDecReg, opDecReg,
    // 50
    opPushReg, opPushReg, opPushReg, opPushReg,
    opPushReg, opPushReg, opPushReg, opPushReg,
    opPopReg, opPopReg, opPopReg, opPopReg,
    opPopReg, opPopReg, opPopReg, opPopReg,
    // 60
    opPusha, opPopa, opUndefined, opUndefined,
    opUndefined, opUndefined, nullptr, nullptr,
    opPushImm16, opImulImm16, opPushImm8, opImulImm8,
    opInsb, opInsw, opOutsb, opOutsw,
    // 70
    opJccShort, opJccShort, opJccShort, opJccShort,
    opJccShort, opJccShort, opJccShort, opJccShort,
    opJccShort, opJccShort, opJccShort, opJccShort,
    opJccShort, opJccShort, opJccShort, opJccShort,
    // 80
    opGroup80, opGroup81, opGroup80, opGroup83,
    opTestRmReg8, opTestRmReg16, opXchgRm8, opXchgRm16,
    opMovRmReg8, opMovRmReg16, opMovRegRm8, opMovRegRm16,
    opMovRmSeg, opLea, opMovSegRm, opPopRm,
    // 90
    opNop, opXchgAx, opXchgAx, opXchgAx,
    opXchgAx, opXchgAx, opXchgAx, opXchgAx,
    opCbw, opCwd, opCallFar, opWait,
    opPushf, opPopf, opSahf, opLahf,
    // A0
    opMovAlMem, opMovAxMem, opMovMemAl, opMovMemAx,
    opMovsb, opMovsw, opCmpsb, opCmpsw,
    opTestAlImm, opTestAxImm, opStosb, opStosw,
    opLodsb, opLodsw, opScasb, opScasw,
    // B0
    opMovReg8Imm, opMovReg8Imm, opMovReg8Imm, opMovReg8Imm,
    opMovReg8Imm, opMovReg8Imm, opMovReg8Imm, opMovReg8Imm,
    opMovReg16Imm, opMovReg16Imm, opMovReg16Imm, opMovReg16Imm,
    opMovReg16Imm, opMovReg16Imm, opMovReg16Imm, opMovReg16Imm,
    // C0
    opShiftGroup, opShiftGroup, opRetImm, opRet,
    opLes, opLds, opMovRmImm8, opMovRmImm16,
    opEnter, opLeave, opRetfImm, opRetf,
    opInt3, opInt, opInto, opIret,
    // D0
    opShiftGroup, opShiftGroup, opShiftGroup, opShiftGroup,
    opAam, opAad, opSetalc, opXlat,
    opEscape, opEscape, opEscape, opEscape,
    opEscape, opEscape, opEscape, opEscape,
    // E0
    opLoopnz, opLoopz, opLoop, opJcxz,
    opInAlImm, opInAxImm, opOutImmAl, opOutImmAx,
    opCallNear, opJmpNear, opJmpFar, opJmpShort,
    opInAlDx, opInAxDx, opOutDxAl, opOutDxAx,
    // F0
    opLock, opIcebp, nullptr, nullptr,
    opHlt, opCmc, opGroupF6, opGroupF7,
    opFlagSet, opFlagSet, opFlagSet, opFlagSet,
    opFlagSet, opFlagSet, opGroupFE, opGroupFF,
};

const Handler kExtendedTable[16] = {
    opJccNear, opJccNear, opJccNear, opJccNear,
    opJccNear, opJccNear, opJccNear, opJccNear,
    opJccNear, opJccNear, opJccNear, opJccNear,
    opJccNear, opJccNear, opJccNear, opJccNear,
};
// clang-format on
