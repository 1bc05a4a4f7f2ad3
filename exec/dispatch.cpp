// The opcode dispatch tables: one entry per opcode byte, and the 0F page's 16 near jumps, for each
// processor mode. The exact 8086's table is the standard layout with the entries below replaced.
#include "exec/handlers.h"

namespace {

// clang-format off
template <class M>
constexpr OpcodeTable standardLayout() {
    return OpcodeTable{
    // 00
    opAluRmReg8<kAluAdd, M>, opAluRmReg16<kAluAdd, M>, opAluRegRm8<kAluAdd, M>, opAluRegRm16<kAluAdd, M>,
    opAluAlImm<kAluAdd, M>, opAluAxImm<kAluAdd, M>, opPushSegment<M>, opPopSegment<M>,
    opAluRmReg8<kAluOr, M>, opAluRmReg16<kAluOr, M>, opAluRegRm8<kAluOr, M>, opAluRegRm16<kAluOr, M>,
    opAluAlImm<kAluOr, M>, opAluAxImm<kAluOr, M>, opPushSegment<M>, opExtendedPage<M>,
    // 10
    opAluRmReg8<kAluAdc, M>, opAluRmReg16<kAluAdc, M>, opAluRegRm8<kAluAdc, M>, opAluRegRm16<kAluAdc, M>,
    opAluAlImm<kAluAdc, M>, opAluAxImm<kAluAdc, M>, opPushSegment<M>, opPopSegment<M>,
    opAluRmReg8<kAluSbb, M>, opAluRmReg16<kAluSbb, M>, opAluRegRm8<kAluSbb, M>, opAluRegRm16<kAluSbb, M>,
    opAluAlImm<kAluSbb, M>, opAluAxImm<kAluSbb, M>, opPushSegment<M>, opPopSegment<M>,
    // 20
    opAluRmReg8<kAluAnd, M>, opAluRmReg16<kAluAnd, M>, opAluRegRm8<kAluAnd, M>, opAluRegRm16<kAluAnd, M>,
    opAluAlImm<kAluAnd, M>, opAluAxImm<kAluAnd, M>, nullptr, opDecimalAdjust,
    opAluRmReg8<kAluSub, M>, opAluRmReg16<kAluSub, M>, opAluRegRm8<kAluSub, M>, opAluRegRm16<kAluSub, M>,
    opAluAlImm<kAluSub, M>, opAluAxImm<kAluSub, M>, nullptr, opDecimalAdjust,
    // 30
    opAluRmReg8<kAluXor, M>, opAluRmReg16<kAluXor, M>, opAluRegRm8<kAluXor, M>, opAluRegRm16<kAluXor, M>,
    opAluAlImm<kAluXor, M>, opAluAxImm<kAluXor, M>, nullptr, opDecimalAdjust,
    opAluRmReg8<kAluCmp, M>, opAluRmReg16<kAluCmp, M>, opAluRegRm8<kAluCmp, M>, opAluRegRm16<kAluCmp, M>,
    opAluAlImm<kAluCmp, M>, opAluAxImm<kAluCmp, M>, nullptr, opDecimalAdjust,
    // 40
    opIncReg<M>, opIncReg<M>, opIncReg<M>, opIncReg<M>,
    opIncReg<M>, opIncReg<M>, opIncReg<M>, opIncReg<M>,
    opDecReg<M>, opDecReg<M>, opDecReg<M>, opDecReg<M>,
    opDecReg<M>, opDecReg<M>, opDecReg<M>, opDecReg<M>,
    // 50
    opPushReg<M>, opPushReg<M>, opPushReg<M>, opPushReg<M>,
    opPushReg<M>, opPushReg<M>, opPushReg<M>, opPushReg<M>,
    opPopReg<M>, opPopReg<M>, opPopReg<M>, opPopReg<M>,
    opPopReg<M>, opPopReg<M>, opPopReg<M>, opPopReg<M>,
    // 60
    opPusha<M>, opPopa<M>, opUndefined, opUndefined,
    opUndefined, opUndefined, nullptr, nullptr,
    opPushImm16<M>, opImulImm16<M>, opPushImm8<M>, opImulImm8<M>,
    opInsb<M>, opInsw<M>, opOutsb<M>, opOutsw<M>,
    // 70
    opJccShort, opJccShort, opJccShort, opJccShort,
    opJccShort, opJccShort, opJccShort, opJccShort,
    opJccShort, opJccShort, opJccShort, opJccShort,
    opJccShort, opJccShort, opJccShort, opJccShort,
    // 80
    opGroup80<M>, opGroup81<M>, opGroup80<M>, opGroup83<M>,
    opTestRmReg8<M>, opTestRmReg16<M>, opXchgRm8<M>, opXchgRm16<M>,
    opMovRmReg8<M>, opMovRmReg16<M>, opMovRegRm8<M>, opMovRegRm16<M>,
    opMovRmSeg<M>, opLea<M>, opMovSegRm<M>, opPopRm<M>,
    // 90
    opNop, opXchgAx, opXchgAx, opXchgAx,
    opXchgAx, opXchgAx, opXchgAx, opXchgAx,
    opCbw, opCwd, opCallFar<M>, opWait,
    opPushf<M>, opPopf<M>, opSahf, opLahf<M>,
    // A0
    opMovAlMem<M>, opMovAxMem<M>, opMovMemAl<M>, opMovMemAx<M>,
    opMovsb<M>, opMovsw<M>, opCmpsb<M>, opCmpsw<M>,
    opTestAlImm<M>, opTestAxImm<M>, opStosb<M>, opStosw<M>,
    opLodsb<M>, opLodsw<M>, opScasb<M>, opScasw<M>,
    // B0
    opMovReg8Imm, opMovReg8Imm, opMovReg8Imm, opMovReg8Imm,
    opMovReg8Imm, opMovReg8Imm, opMovReg8Imm, opMovReg8Imm,
    opMovReg16Imm<M>, opMovReg16Imm<M>, opMovReg16Imm<M>, opMovReg16Imm<M>,
    opMovReg16Imm<M>, opMovReg16Imm<M>, opMovReg16Imm<M>, opMovReg16Imm<M>,
    // C0
    opShiftGroup<M>, opShiftGroup<M>, opRetImm<M>, opRet<M>,
    opLes<M>, opLds<M>, opMovRmImm8<M>, opMovRmImm16<M>,
    opEnter, opLeave, opRetfImm<M>, opRetf<M>,
    opInt3, opInt<M>, opInto<M>, opIret<M>,
    // D0
    opShiftGroup<M>, opShiftGroup<M>, opShiftGroup<M>, opShiftGroup<M>,
    opAam, opAad, opSetalc, opXlat<M>,
    opEscape, opEscape, opEscape, opEscape,
    opEscape, opEscape, opEscape, opEscape,
    // E0
    opLoopnz, opLoopz, opLoop, opJcxz,
    opInAlImm, opInAxImm, opOutImmAl, opOutImmAx,
    opCallNear<M>, opJmpNear<M>, opJmpFar<M>, opJmpShort,
    opInAlDx, opInAxDx, opOutDxAl, opOutDxAx,
    // F0
    opLock, opIcebp, nullptr, nullptr,
    opHlt, opCmc, opGroupF6<M>, opGroupF7<M>,
    opFlagSet, opFlagSet, opFlagSet, opFlagSet,
    opFlagSet, opFlagSet, opGroupFE<M>, opGroupFF<M>,
};
}
// clang-format on

// Where the 8086 is a different instruction, not the same one with other memory, stack or flag rules.
constexpr OpcodeTable exactLayout() {
    OpcodeTable table = standardLayout<ExactMode>();
    for (unsigned opcode : {0x27, 0x2F, 0x37, 0x3F}) table[opcode] = opDecimalAdjust8086;
    for (unsigned opcode = 0xD8; opcode <= 0xDF; ++opcode) table[opcode] = opEscape8086;
    table[0xC8] = opEnter8086;
    table[0xC9] = opLeave8086;
    table[0xCC] = opInt3For8086;
    table[0xD4] = opAam8086;
    table[0xD5] = opAad8086;
    table[0xD6] = opSetalc8086;
    return table;
}

template <class M>
constexpr ExtendedTable nearJumps() {
    ExtendedTable table{};
    for (Handler& entry : table) entry = opJccNear<M>;
    return table;
}

}  // namespace

const OpcodeTable kStandardOpcodeTable = standardLayout<StandardMode>();
const OpcodeTable kExactOpcodeTable = exactLayout();
const ExtendedTable kStandardExtendedTable = nearJumps<StandardMode>();
const ExtendedTable kExactExtendedTable = nearJumps<ExactMode>();
