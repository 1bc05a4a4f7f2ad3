// The run loop against single steps. A plain run (no texts, coverage or history) takes decoded
// blocks with deferred flags; it must end exactly where and as one step at a time ends: the same
// registers, flags, memory and stop reason, after the same number of instructions, in both modes.
// The guests include code that is rewritten after it was decoded (by a MOV, a string, a PUSH, an
// interrupt frame), entered in the middle of an instruction, and run across the end of its segment
// and at the top of the image. Each guest runs again and again on one machine, so the decoded
// instructions of the earlier runs (some of code rewritten since) are there when it starts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "exec/run.h"
#include "support/machine.h"
#include "support/register_snapshot.h"

namespace {

constexpr uint32_t kNowhere = ~0u;  // a stop address no CS*16+IP reaches
constexpr uint64_t kRunaway = 2000;  // more steps than any guest here takes

const char* nameOf(RunEnd end) {
    switch (end) {
        case RunEnd::stopAddress: return "stop address";
        case RunEnd::stopRequest: return "stop request";
        case RunEnd::breakpoint: return "breakpoint";
        case RunEnd::historyFull: return "history full";
        case RunEnd::breakKey: return "break key";
        default: return "step limit";
    }
}

std::string registerText(const Cpu& cpu) {
    const Registers r = registersOf(cpu);
    char text[160];
    std::snprintf(text, sizeof text,
                  "ax=%04x bx=%04x cx=%04x dx=%04x bp=%04x si=%04x di=%04x sp=%04x cs:ip=%04x:%04x ds=%04x "
                  "es=%04x ss=%04x flags=%04x stop=%u",
                  r.ax, r.bx, r.cx, r.dx, r.bp, r.si, r.di, r.sp, r.cs, r.ip, r.ds, r.es, r.ss, r.flags, r.stop);
    return text;
}

// Empty when the images are equal, else the first address that differs.
std::string firstMemoryDifference(const Cpu& run, const Cpu& stepped) {
    if (std::memcmp(run.memory.get(), stepped.memory.get(), kMemorySize) == 0) return "";
    uint32_t at = 0;
    while (run.memory[at] == stepped.memory[at]) ++at;
    char text[64];
    std::snprintf(text, sizeof text, "memory at %05x: run %02x, steps %02x", at, run.memory[at], stepped.memory[at]);
    return text;
}

// Places bytes at CS:IP onwards, the offset wrapping inside the segment as the fetch does.
void place(Cpu& cpu, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        writeByteLinear(cpu, linearOf(cpu.cs, static_cast<uint16_t>(cpu.ip + i)), bytes[i]);
    }
}

// Puts `to` into the state of `from` (image, registers, flags, mode, breakpoints), as the monitor
// leaves a machine between two runs: the decoded instructions of earlier runs stay.
void copyMachine(Cpu& to, const Cpu& from) {
    std::memcpy(to.memory.get(), from.memory.get(), kMemorySize);
    std::memcpy(to.regs, from.regs, sizeof to.regs);
    std::memcpy(to.segs, from.segs, sizeof to.segs);
    to.ip = from.ip;
    unpackFlags(to, packFlags(from));
    to.mode = from.mode;
    to.waitLoopCancel = from.waitLoopCancel;
    to.stopRequested = 0;
    to.BreakpointTable = from.BreakpointTable;
    to.textWanted = 0;
}

// runUntil's stop conditions after single step number `steps`, in its order (no history here, and
// Ctrl-C is never pressed); none when the run goes on.
std::optional<RunEnd> endAfterStep(const Cpu& cpu, const RunStops& stops, uint64_t steps) {
    const uint32_t address = linearOf(cpu.cs, cpu.ip);
    if (address == stops.stopAddress) return RunEnd::stopAddress;
    if (cpu.stopRequested) return RunEnd::stopRequest;
    const auto breakpoint = cpu.BreakpointTable.find(address);
    if (breakpoint != cpu.BreakpointTable.end() && breakpoint->second != 0) return RunEnd::breakpoint;
    if (steps == stops.stepLimit) return RunEnd::stepLimit;
    return std::nullopt;
}

// Steps `stepped` until one of the stop conditions holds.
RunEnd stepUntil(Cpu& stepped, const RunStops& stops) {
    for (uint64_t steps = 1; steps < kRunaway; ++steps) {
        step(stepped);
        if (const auto end = endAfterStep(stepped, stops, steps)) return *end;
    }
    ADD_FAILURE() << "the guest runs on and on";
    return RunEnd::stepLimit;
}

// Runs `runner`, set to the start state, through runUntil and compares it with the stepped machine.
testing::AssertionResult runEndsAs(Cpu& runner, const Cpu& start, const RunStops& stops, const Cpu& stepped,
                                   RunEnd steppedEnd) {
    copyMachine(runner, start);
    const RunEnd end = runUntil(runner, stops);
    const std::string memory = firstMemoryDifference(runner, stepped);
    if (end == steppedEnd && registerText(runner) == registerText(stepped) && memory.empty())
        return testing::AssertionSuccess();
    char address[16] = "none";
    if (stops.stopAddress != kNowhere) std::snprintf(address, sizeof address, "%05x", stops.stopAddress);
    return testing::AssertionFailure() << "step limit " << stops.stepLimit << ", stop address " << address
                                       << ":\n  run   " << nameOf(end) << ", "
                                       << registerText(runner) << "\n  steps " << nameOf(steppedEnd) << ", "
                                       << registerText(stepped) << "\n  " << memory;
}

struct Guest {
    const char* name;
    std::vector<uint8_t> code;      // at CS:IP
    void (*setUp)(Cpu&) = nullptr;  // registers and data beyond the start-up state, before the code goes in
};

// Every guest ends by itself (INT3 or a division fault) within kRunaway steps. CS = DS = ES = SS =
// 0, IP = 0100 and SP = FFF8 unless set up otherwise.
const Guest kGuests[] = {
    // mov cx,6 / add ax,bx / adc dx,cx / sub bx,si / sbb si,di / xor di,ax / test al,ah / js +1 /
    // inc bx / cmp ax,8000 / jb +1 / dec dx / loop 0103 / int3: every flag rule, and the reads of
    // deferred flags by a carry-in, a condition and INC/DEC.
    {"AluLoop",
     {0xB9, 0x06, 0x00, 0x01, 0xD8, 0x11, 0xCA, 0x29, 0xF3, 0x19, 0xFE, 0x31, 0xC7, 0x84, 0xE0, 0x78, 0x01, 0x43,
      0x3D, 0x00, 0x80, 0x72, 0x01, 0x4A, 0xE2, 0xE9, 0xCC},
     [](Cpu& c) {
         c.ax = 0x1234; c.bx = 0x9876; c.si = 0x4321; c.di = 0xF00D;
     }},
    // mov cx,4 / call 0109 / loop 0103 / int3 / 0109: add [bx],ax / add word [bx+2],5 /
    // mov dx,[bx+2] / add ax,3 / ret
    {"MemoryOperandsCallRet",
     {0xB9, 0x04, 0x00, 0xE8, 0x03, 0x00, 0xE2, 0xFB, 0xCC, 0x01, 0x07, 0x83, 0x47, 0x02, 0x05, 0x8B, 0x57, 0x02,
      0x05, 0x03, 0x00, 0xC3},
     [](Cpu& c) {
         c.ax = 0x0101; c.bx = 0x0500;
     }},
    // mov cx,8 / lodsb / xor al,5a / stosb / loop 0103 / int3
    {"LodsbXorStosbLoop", {0xB9, 0x08, 0x00, 0xAC, 0x34, 0x5A, 0xAA, 0xE2, 0xFA, 0xCC},
     [](Cpu& c) {
         c.si = 0x0300; c.di = 0x0400;
         for (uint32_t i = 0; i < 8; ++i) c.memory[0x300 + i] = static_cast<uint8_t>(0x11 * i + 3);
     }},
    // The same loop over words, downwards: mov cx,4 / lodsw / xor ax,a55a / stosw / loop / int3.
    {"LodswXorStoswDownwards", {0xB9, 0x04, 0x00, 0xAD, 0x35, 0x5A, 0xA5, 0xAB, 0xE2, 0xF9, 0xCC},
     [](Cpu& c) {
         c.si = 0x0306; c.di = 0x0406; c.dfFlag = 1;
         for (uint32_t i = 0; i < 8; ++i) c.memory[0x300 + i] = static_cast<uint8_t>(0x23 * i + 1);
     }},
    // mov ax,cs:[bx] / mov es:[di],ax / add ds:[bp+2],ax / add byte es:[di+1],7f / cs: lodsb (to the
    // step) / mov ah,ss:[bx] / inc word es:[di] (to the step) / int3
    {"SegmentPrefixes",
     {0x2E, 0x8B, 0x07, 0x26, 0x89, 0x05, 0x3E, 0x01, 0x46, 0x02, 0x26, 0x80, 0x45, 0x01, 0x7F, 0x2E, 0xAC, 0x36,
      0x8A, 0x27, 0x26, 0xFF, 0x05, 0xCC},
     [](Cpu& c) {
         c.ds = 0x2000; c.es = 0x3000; c.bx = 0x0010; c.di = 0x0020; c.bp = 0x0030; c.si = 0x0040;
         for (uint32_t i = 0; i < 0x60; ++i) c.memory[0x20000 + i] = static_cast<uint8_t>(0x5B + 7 * i);
     }},
    // jmp 0106 / 0102: add ax,cx / inc bx / ret / 0106: mov cx,3 / call 0102 / inc dx / jmp 0110 /
    // int3 (jumped over) / 0110: loop 0109 / int3: blocks go on at the targets of the CALL and the
    // JMPs, the one from 0109 at a routine before its own start.
    {"CallsAndJumpsIntoTheirTargets",
     {0xEB, 0x04, 0x01, 0xC8, 0x43, 0xC3, 0xB9, 0x03, 0x00, 0xE8, 0xF6, 0xFF, 0x42, 0xEB, 0x01, 0xCC, 0xE2, 0xF7,
      0xCC},
     [](Cpu& c) { c.ax = 0x0011; }},
    // 4040: call 4045 / int3 / nop / 4045: inc ax / inc ax / dec dx / ret, SP set for each mode's
    // stack so that the CALL's return address (43 40) lands on the first INC of the routine its
    // block goes on in, making it inc bx / inc ax; the RET then takes the same word back to the INT3.
    {"CallPushesOverTheRoutineItGoesOnIn", {0xE8, 0x02, 0x00, 0xCC, 0x90, 0x40, 0x40, 0x4A, 0xC3},
     [](Cpu& c) {
         c.ip = 0x4040; c.sp = c.mode == CpuMode::exact ? 0x4047 : 0x4045;
     }},
    // mov cx,3 / add byte [010a],1 / add bx,1 / loop 0103 / int3: each pass raises the immediate of
    // the instruction after the patching one, in the same block (BX = 2 + 3 + 4).
    {"PatchesTheImmediateOfItsNextInstruction",
     {0xB9, 0x03, 0x00, 0x80, 0x06, 0x0A, 0x01, 0x01, 0x83, 0xC3, 0x01, 0xE2, 0xF6, 0xCC}},
    // mov cx,3 / xor byte [010a],20 / inc ax / inc bx / nop / inc bx / loop 0103 / int3: the NOP
    // becomes mov al,43 and back, so the instructions after it start elsewhere on every pass.
    {"PatchChangesWhereTheNextInstructionsStart",
     {0xB9, 0x03, 0x00, 0x80, 0x36, 0x0A, 0x01, 0x20, 0x40, 0x43, 0x90, 0x43, 0xE2, 0xF5, 0xCC}},
    // mov bx,2 / xor cx,cx / cmp bx,1 / jne 010d / mov cx,4 / mov di,0114 / mov al,90 / rep stosb /
    // inc dx x4 / dec bx / jnz 0103 / int3: the first pass runs the INCs, the second turns them
    // into NOPs with the string right before them.
    {"RepStosbOverTheCodeAfterIt",
     {0xBB, 0x02, 0x00, 0x31, 0xC9, 0x83, 0xFB, 0x01, 0x75, 0x03, 0xB9, 0x04, 0x00, 0xBF, 0x14, 0x01, 0xB0, 0x90,
      0xF3, 0xAA, 0x42, 0x42, 0x42, 0x42, 0x4B, 0x75, 0xE8, 0xCC}},
    // mov ax,40b0 / inc cx / cmp cx,2 / je 010b / jmp 0101 / int3: the second pass enters the MOV
    // at its immediate, where b0 40 is mov al,40.
    {"JumpsIntoTheMiddleOfAnInstructionThatRan",
     {0xB8, 0xB0, 0x40, 0x41, 0x83, 0xF9, 0x02, 0x74, 0x02, 0xEB, 0xF6, 0xCC}},
    // mov ax,9090 / push ax / inc ax x6 / int3, SP inside the INCs: the push turns two of them,
    // decoded in the same block, into NOPs (each mode's stack its own two).
    {"PushOverwritesTheCodeAfterIt", {0xB8, 0x90, 0x90, 0x50, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0xCC},
     [](Cpu& c) { c.sp = 0x0108; }},
    // mov cx,2 / cmp cx,1 / jne 010a / int 60 / inc ax x12 / loop 0103 / int3, SP inside the INCs:
    // the second pass takes the INT (its handler an IRET), whose frame lands on the INCs the first
    // pass ran; it then runs the frame's bytes as code.
    {"InterruptFrameOverCodeThatRan",
     {0xB9, 0x02, 0x00, 0x83, 0xF9, 0x01, 0x75, 0x02, 0xCD, 0x60, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
      0x40, 0x40, 0x40, 0x40, 0xE2, 0xEB, 0xCC},
     [](Cpu& c) {
         c.sp = 0x0110; c.ds = 0x2000;
         writeWordLinear(c, 0x60 * 4, 0x0200);
         writeWordLinear(c, 0x60 * 4 + 2, 0x0000);
         c.memory[0x200] = 0xCF;
     }},
    // mov cx,3 / add ax,cx / loop 0103 / xor bl,bl / div bl / int3: the division faults (the
    // standard mode stops, the 8086 enters interrupt 0 and stops there).
    {"DivisionFault", {0xB9, 0x03, 0x00, 0x01, 0xC8, 0xE2, 0xFC, 0x30, 0xDB, 0xF6, 0xF3, 0xCC}},
    // mov ax,7fff / add ax,1 / int3: the 8086 pushes the flags the ADD left deferred.
    {"Int3AfterDeferredFlags", {0xB8, 0xFF, 0x7F, 0x05, 0x01, 0x00, 0xCC}},
    // 18 one-byte instructions from FFEC, then mov ax,1234 across the end of the segment (the
    // standard mode takes its high byte from CS*16+10000, the 8086 from offset 0000), then at
    // 0001 loop ffec / int3. The HLT after CS*16+10000 makes the MOV a block of its own there,
    // whose bytes lie in the image in a row although the 8086 wraps them.
    {"InstructionAcrossTheSegmentEnd",
     {0x40, 0x43, 0x50, 0x5A, 0x42, 0x4B, 0x90, 0x57, 0x5E, 0x46, 0x4F, 0x53, 0x58, 0x45, 0x4D, 0x52, 0x5D, 0x90,
      0xB8, 0x34, 0x12, 0xE2, 0xE9, 0xCC},
     [](Cpu& c) {
         c.cs = 0x1000; c.ip = 0xFFEC; c.cx = 2;
         c.memory[0x20000] = 0x56;
         c.memory[0x20001] = 0xF4;
     }},
    // 32 one-byte instructions from FFE0 to FFFF, IP wrapping to 0000: loop ffe0 / int3. The blocks
    // nearest the end of the segment are left to the step.
    {"IpWrapsAtFFFF",
     {0x40, 0x43, 0x50, 0x5A, 0x42, 0x4B, 0x90, 0x57, 0x5E, 0x46, 0x4F, 0x53, 0x58, 0x45, 0x4D, 0x90,
      0x40, 0x43, 0x50, 0x5A, 0x42, 0x4B, 0x90, 0x57, 0x5E, 0x46, 0x4F, 0x53, 0x58, 0x45, 0x4D, 0x90,
      0xE2, 0xDE, 0xCC},
     [](Cpu& c) {
         c.cs = 0x2000; c.ip = 0xFFE0; c.cx = 2;
     }},
    // At FFFF:0000, the last paragraph of the image: mov cx,3 / add ax,2 / inc ax / add bx,3 /
    // add ax,bx / loop 0003 / int3; the instructions whose window would pass the image go to the step.
    {"CodeAtTheTopOfTheImage",
     {0xB9, 0x03, 0x00, 0x05, 0x02, 0x00, 0x40, 0x83, 0xC3, 0x03, 0x01, 0xD8, 0xE2, 0xF5, 0xCC, 0x90},
     [](Cpu& c) {
         c.cs = 0xFFFF; c.ip = 0x0000;
     }},
};

void PrintTo(const Guest& guest, std::ostream* os) { *os << guest.name; }

void setUpGuest(TestMachine& m, const Guest& guest, CpuMode mode) {
    m.cpu.mode = mode;
    if (guest.setUp) guest.setUp(m.cpu);
    place(m.cpu, guest.code);
}

// The division message goes to stdout; the capture ends even when an assertion ends the test.
struct QuietStdout {
    QuietStdout() { testing::internal::CaptureStdout(); }
    ~QuietStdout() { testing::internal::GetCapturedStdout(); }
};

std::string modeName(CpuMode mode) { return mode == CpuMode::exact ? "exact" : "standard"; }

// A test's name for a (case, mode) parameter: the case's name and the mode.
template <class Case>
std::string caseInMode(const testing::TestParamInfo<std::tuple<Case, CpuMode>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + modeName(std::get<1>(info.param));
}

using GuestInMode = std::tuple<Guest, CpuMode>;

class RunLoopGuests : public ::testing::TestWithParam<GuestInMode> {};

// The run without a limit ends as the steps do; with each limit from 1 to the end, it stops after
// exactly that many instructions (at the end the guest's own stop comes first).
TEST_P(RunLoopGuests, EndAsSingleStepsWithAndWithoutEveryStepLimit) {
    const auto& [guest, mode] = GetParam();
    TestMachine start, stepped, runner;
    setUpGuest(start, guest, mode);
    copyMachine(stepped.cpu, start.cpu);
    const QuietStdout quiet;
    std::optional<RunEnd> end;
    for (uint64_t steps = 1; !end; ++steps) {
        ASSERT_LT(steps, kRunaway) << "the guest runs on and on";
        step(stepped.cpu);
        end = endAfterStep(stepped.cpu, RunStops{kNowhere, false, 0}, steps);
        ASSERT_TRUE(runEndsAs(runner.cpu, start.cpu, RunStops{kNowhere, false, steps}, stepped.cpu,
                              end.value_or(RunEnd::stepLimit)));
    }
    EXPECT_TRUE(runEndsAs(runner.cpu, start.cpu, RunStops{kNowhere, false, 0}, stepped.cpu, *end));
}

// With the stop address at each address the steps pass (where an instruction ends, inside a block
// or at a CALL's or JMP's target), the run stops where the steps first reach it.
TEST_P(RunLoopGuests, StopAtEveryAddressTheStepsPass) {
    const auto& [guest, mode] = GetParam();
    TestMachine start, runner;
    setUpGuest(start, guest, mode);
    const QuietStdout quiet;
    std::vector<uint32_t> passed;
    {
        TestMachine stepped;
        copyMachine(stepped.cpu, start.cpu);
        for (uint64_t steps = 1;; ++steps) {
            ASSERT_LT(steps, kRunaway) << "the guest runs on and on";
            step(stepped.cpu);
            passed.push_back(linearOf(stepped.cpu.cs, stepped.cpu.ip));
            if (endAfterStep(stepped.cpu, RunStops{kNowhere, false, 0}, steps)) break;
        }
    }
    for (const uint32_t address : std::set<uint32_t>(passed.begin(), passed.end())) {
        TestMachine stepped;
        copyMachine(stepped.cpu, start.cpu);
        const RunStops stops{address, false, 0};
        const RunEnd end = stepUntil(stepped.cpu, stops);
        ASSERT_TRUE(runEndsAs(runner.cpu, start.cpu, stops, stepped.cpu, end));
    }
}

INSTANTIATE_TEST_SUITE_P(RunLoop, RunLoopGuests,
                         ::testing::Combine(::testing::ValuesIn(kGuests),
                                            ::testing::Values(CpuMode::standard, CpuMode::exact)),
                         caseInMode<Guest>);

// ---- the stop conditions inside blocks

// mov cx,3 / inc (not CX) x16 at 0103-0112 / loop 0103 / int3. Every instruction changes a
// register, so the state shows how many ran. The first pass decodes blocks of 12 instructions at
// 0100 (to 010d) and 010e, the later passes at 0103 (to 010e) and 010f.
const std::vector<uint8_t> kLongBody = {0xB9, 0x03, 0x00, 0x40, 0x43, 0x42, 0x46, 0x47, 0x45, 0x40, 0x43, 0x42,
                                        0x46, 0x47, 0x45, 0x40, 0x43, 0x42, 0x46, 0xE2, 0xEE, 0xCC};

struct StopCase {
    const char* name;
    uint32_t stopAddress;
    std::map<uint32_t, uint8_t> breakpoints;  // linear address: enabled (nonzero) or not
    uint64_t stepLimit;
    RunEnd end;  // where the steps end: shows the case stops as it means to
};

const StopCase kStops[] = {
    {"StopAddressAfterTheFirstInstruction", 0x0103, {}, 0, RunEnd::stopAddress},
    {"StopAddressInsideABlock", 0x0108, {}, 0, RunEnd::stopAddress},
    {"StopAddressAtTheLastInstructionOfABlock", 0x010D, {}, 0, RunEnd::stopAddress},
    {"StopAddressAtTheFirstInstructionOfTheNextBlock", 0x010E, {}, 0, RunEnd::stopAddress},
    {"StopAddressInsideAnInstructionIsNeverReached", 0x0101, {}, 0, RunEnd::stopRequest},
    {"StopAddressBeforeAStepLimitAtTheSameInstruction", 0x0108, {}, 6, RunEnd::stopAddress},
    {"EnabledBreakpointInsideABlock", kNowhere, {{0x010A, 1}}, 0, RunEnd::breakpoint},
    {"DisabledBreakpointIsPassed", kNowhere, {{0x010A, 0}}, 0, RunEnd::stopRequest},
    {"DisabledThenEnabledBreakpoint", kNowhere, {{0x0105, 0}, {0x0111, 1}}, 0, RunEnd::breakpoint},
    {"EnabledBreakpointOnTheLoop", kNowhere, {{0x0113, 1}}, 0, RunEnd::breakpoint},
    {"BreakpointBeforeTheStepLimit", kNowhere, {{0x010A, 1}}, 13, RunEnd::breakpoint},
    {"StepLimitBeforeTheBreakpoint", kNowhere, {{0x010A, 1}}, 5, RunEnd::stepLimit},
    {"StepLimit1", kNowhere, {}, 1, RunEnd::stepLimit},
    {"StepLimit2", kNowhere, {}, 2, RunEnd::stepLimit},
    {"StepLimitOneBeforeTheEndOfABlock", kNowhere, {}, 11, RunEnd::stepLimit},
    {"StepLimitAtTheEndOfABlock", kNowhere, {}, 12, RunEnd::stepLimit},
    {"StepLimitOnePastTheEndOfABlock", kNowhere, {}, 13, RunEnd::stepLimit},
    {"StepLimitInTheSecondPass", kNowhere, {}, 30, RunEnd::stepLimit},
    {"StepLimitWithADisabledBreakpointSet", kNowhere, {{0x0200, 0}}, 13, RunEnd::stepLimit},
};

void PrintTo(const StopCase& stops, std::ostream* os) { *os << stops.name; }

using StopInMode = std::tuple<StopCase, CpuMode>;

class RunLoopStops : public ::testing::TestWithParam<StopInMode> {};

TEST_P(RunLoopStops, AtTheInstructionSingleStepsStopAt) {
    const auto& [stops, mode] = GetParam();
    TestMachine start, stepped, runner;
    start.cpu.mode = mode;
    place(start.cpu, kLongBody);
    start.cpu.BreakpointTable = stops.breakpoints;
    copyMachine(stepped.cpu, start.cpu);
    const RunStops run{stops.stopAddress, false, stops.stepLimit};
    const RunEnd end = stepUntil(stepped.cpu, run);
    ASSERT_EQ(nameOf(end), std::string(nameOf(stops.end)));
    EXPECT_TRUE(runEndsAs(runner.cpu, start.cpu, run, stepped.cpu, end));
}

INSTANTIATE_TEST_SUITE_P(RunLoop, RunLoopStops,
                         ::testing::Combine(::testing::ValuesIn(kStops),
                                            ::testing::Values(CpuMode::standard, CpuMode::exact)),
                         caseInMode<StopCase>);

// ---- the last memory operand's address

// LEA with a register operand loads the offset the last memory operand left, and on the 8086 LES,
// LDS and the far CALL and JMP with a register operand read their segment word after that
// operand's address (the step's operand layer keeps both in the Cpu). A decoded memory operand
// must leave them too, or the run would take an older address than single steps do.
struct LastOperandCase {
    const char* name;
    CpuMode mode;
    std::vector<uint8_t> code;
};

void PrintTo(const LastOperandCase& c, std::ostream* os) { *os << c.name; }

// mov ax,[bx+si] (decoded), then the instruction that reads its address (stepped), then int3.
const LastOperandCase kLastOperandCases[] = {
    {"LeaDxAx_standard", CpuMode::standard, {0x8B, 0x00, 0x8D, 0xD0, 0xCC}},
    {"LeaDxAx_exact", CpuMode::exact, {0x8B, 0x00, 0x8D, 0xD0, 0xCC}},
    {"LesDxAx_exact", CpuMode::exact, {0x8B, 0x00, 0xC4, 0xD0, 0xCC}},
    {"JmpFarAx_exact", CpuMode::exact, {0x8B, 0x00, 0xFF, 0xE8, 0xCC}},
};

class RunLoopLastMemoryOperand : public ::testing::TestWithParam<LastOperandCase> {};

TEST_P(RunLoopLastMemoryOperand, IsTheOneSingleStepsSee) {
    TestMachine start, stepped, runner;
    start.cpu.mode = GetParam().mode;
    start.cpu.bx = 0x0010;
    start.cpu.si = 0x0004;
    for (uint32_t i = 0; i < 8; ++i) start.cpu.memory[0x14 + i] = static_cast<uint8_t>(0x31 + i);
    place(start.cpu, GetParam().code);
    copyMachine(stepped.cpu, start.cpu);
    const RunStops stops{kNowhere, false, 2};
    ASSERT_EQ(nameOf(stepUntil(stepped.cpu, stops)), std::string("step limit"));
    EXPECT_TRUE(runEndsAs(runner.cpu, start.cpu, stops, stepped.cpu, RunEnd::stepLimit));
}

INSTANTIATE_TEST_SUITE_P(RunLoop, RunLoopLastMemoryOperand, ::testing::ValuesIn(kLastOperandCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
