// d (dump), e (enter), f (fill) and m (move), through the real binary.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/child_process.h"

namespace {

// Runs the commands in a fresh program, then q; returns everything before the final prompt's answer.
std::string session(const std::string& commands) {
    const RunResult r = runVelkor({}, commands + "q\n");
    EXPECT_EQ(r.status, 0);
    const std::string exit = ">exit!\n";
    EXPECT_GE(r.out.size(), exit.size());
    EXPECT_EQ(r.out.substr(r.out.size() - exit.size()), exit);
    return r.out.substr(0, r.out.size() - exit.size());
}

// The start-up image holds the interrupt vectors (each FFFF:0008) below 0400 and zeros above.
const std::string kVectors =
    "08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n";
const std::string kZeros = "00 00 00 00 00 00 00 00-00 00 00 00 00 00 00 00 ................\n";

// count dump lines from segment:offset whose 16 bytes all read as rest.
std::string dumpLines(const char* segment, int offset, const std::string& rest, int count = 8) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        char address[16];
        std::snprintf(address, sizeof address, "%s:%04x ", segment, (offset + 16 * i) & 0xFFFF);
        out += address + rest;
    }
    return out;
}

// The output of commands that end with a d, up to and including the listing's first line.
std::string untilFirstDumpLine(const std::string& commands) {
    std::string out = session(commands);
    for (int line = 0; line < 7 && !out.empty(); ++line) out.erase(out.rfind('\n', out.size() - 2) + 1);
    return out;
}

// ---- d -----------------------------------------------------------------------------------

TEST(DumpCommand, PlainDumpStartsAtZeroAndContinues) {
    EXPECT_EQ(session("d\nd\n"), ">" + dumpLines("0000", 0x00, kVectors) + ">" + dumpLines("0000", 0x80, kVectors));
}

TEST(DumpCommand, SegmentedStartAndItsContinuation) {
    // 1234:0010 is linear 12350; the continuation starts 0x80 further on, at 123d0.
    EXPECT_EQ(session("f 12350 12352 41\nf 123d0 123d0 42\nd 1234:10\nd\n"),
              ">>>1234:0010 41 41 41 00 00 00 00 00-00 00 00 00 00 00 00 00 AAA.............\n" +
                  dumpLines("1234", 0x20, kZeros, 7) +
                  ">1234:0090 42 00 00 00 00 00 00 00-00 00 00 00 00 00 00 00 B...............\n" +
                  dumpLines("1234", 0xA0, kZeros, 7));
}

TEST(DumpCommand, OffsetAloneIsInDs) {
    EXPECT_EQ(untilFirstDumpLine("r ds 50\nf 510 510 7e\nd 10\n"),
              ">>>0050:0010 7e 00 00 00 00 00 00 00-00 00 00 00 00 00 00 00 ~...............\n");
}

TEST(DumpCommand, CharacterColumnHidesOnlyControlBytes) {
    // Below 0x20 a full stop; 0x20 and up (0x7f and 0x80-0xff too) as the raw byte.
    EXPECT_EQ(untilFirstDumpLine("e 500 1f 20 7f b4 41 00 ff 2e 0a 0d 09 1b 80 7e 21 61\nd 500\n"),
              ">>0000:0500 1f 20 7f b4 41 00 ff 2e-0a 0d 09 1b 80 7e 21 61 . \x7f\xb4"
              "A.\xff.....\x80~!a\n");
}

TEST(DumpCommand, ListingWrapsAroundTheEndOfTheImage) {
    // f000:fff8 is linear ffff8: its second half is linear 0 onwards, and the next line shows
    // offset 0008 (wrapped in the segment) with the bytes of linear 00008.
    EXPECT_EQ(session("f ffff8 fffff 41\nf 0 7 42\nd f000:fff8\n"),
              ">>>f000:fff8 41 41 41 41 41 41 41 41-42 42 42 42 42 42 42 42 AAAAAAAABBBBBBBB\n" +
                  dumpLines("f000", 0x0008, kVectors, 7));
    // A segment:offset sum past 1 MiB reads the wrapped address too: ffff:0010 is linear 100000.
    EXPECT_EQ(untilFirstDumpLine("f 0 7 42\nd ffff:10\n"),
              ">>ffff:0010 42 42 42 42 42 42 42 42-08 00 ff ff 08 00 ff ff BBBBBBBB..\xff\xff..\xff\xff\n");
}

// ---- e with values -------------------------------------------------------------------------

TEST(EnterCommand, StoresValuesSilentlyAndAPlainEContinuesAfterThem) {
    // The plain e opens the editor on DS:0103; Enter leaves it.
    EXPECT_EQ(session("e 100 41 42 43\ne\n\n"), ">>0000:0103 ff-\n\n");
    EXPECT_EQ(untilFirstDumpLine("e 100 41 42 43\nd 100\n"),
              ">>0000:0100 41 42 43 ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ABC\xff..\xff\xff..\xff\xff..\xff\xff\n");
}

TEST(EnterCommand, ValuesAreHexNumbersCutToTheirLowByte) {
    // A sign and 0x are accepted, conversion stops at the first other character, no digits give 0,
    // and register names are not values.
    EXPECT_EQ(untilFirstDumpLine("e 500 1ff -1 0x7f zz 12g +3 ax\t5\nd 500\n"),
              ">>0000:0500 ff ff 7f 00 12 03 0a 05-00 00 00 00 00 00 00 00 \xff\xff\x7f.............\n");
}

TEST(EnterCommand, AddressIsAnOffsetInDs) {
    EXPECT_EQ(untilFirstDumpLine("r ds 50\ne 10010 61 62\nd 10\n"),
              ">>>0050:0010 61 62 00 00 00 00 00 00-00 00 00 00 00 00 00 00 ab..............\n");
}

TEST(EnterCommand, ATabAfterTheLetterTakesNoArguments) {
    // Only a blank introduces the words: e<TAB>100 41 opens the editor at the stored position.
    EXPECT_EQ(session("e\t100 41\n\n"), ">0000:0000 08-\n\n");
}

// ---- the interactive editor -----------------------------------------------------------------

struct EditorCase {
    const char* name;
    const char* start;   // the e command that opens the editor
    const char* keys;    // what is typed (the editor echoes each key)
    const char* editor;  // what the editor prints, up to the next prompt
    const char* bytes;   // the start of the dump line at 0100 afterwards
};

void PrintTo(const EditorCase& c, std::ostream* os) { *os << c.name; }

class InteractiveEditor : public ::testing::TestWithParam<EditorCase> {};

TEST_P(InteractiveEditor, EditsAndEchoes) {
    const EditorCase& c = GetParam();
    const std::string out = untilFirstDumpLine(std::string(c.start) + "\n" + c.keys + "d 100\n");
    const std::string expected = std::string(">") + c.editor + ">0000:0100 " + c.bytes;
    EXPECT_EQ(out.substr(0, expected.size()), expected);
}

// The bytes at 0100 are 08 00 ff ff 08 00 ff ff at start-up.
INSTANTIATE_TEST_SUITE_P(
    Keys, InteractiveEditor,
    ::testing::Values(
        EditorCase{"TwoDigitsStoreAndMoveOn", "e 100", "41\n", "0000:0100 08-41 00-\n\n", "41 00 ff ff"},
        EditorCase{"NoBlankNeededBetweenBytes", "e 100", "4142aB\n", "0000:0100 08-41 00-42 ff-aB ff-\n\n",
                   "41 42 ab ff"},
        EditorCase{"BlankSkipsAndDropsASingleDigit", "e 100", "4 \n", "0000:0100 08-4  00-\n\n", "08 00 ff ff"},
        EditorCase{"BackspaceTakesBackADigit", "e 100", "4\b56\n", "0000:0100 08-4\b \b56 00-\n\n", "56 00 ff ff"},
        EditorCase{"BackspaceWithoutDigitsIsHarmless", "e 100", "\b\b12\n", "0000:0100 08-\b \b\b \b12 00-\n\n",
                   "12 00 ff ff"},
        EditorCase{"EnterKeepsAHalfTypedByte", "e 100", "4\n", "0000:0100 08-4\n\n", "08 00 ff ff"},
        // The line feed after the carriage return is an empty command line.
        EditorCase{"CarriageReturnEndsToo", "e 100", "41\r\n", "0000:0100 08-41 00-\r\n>", "41 00 ff ff"},
        EditorCase{"InvalidKeyRepromptsAndDropsDigits", "e 100", "4z12\n", "0000:0100 08-4z?\n0000:0100 08-12 00-\n\n",
                   "12 00 ff ff"},
        EditorCase{"NewLineAtEachEightByteBoundary", "e 106", "  33\n", "0000:0106 ff-  ff- \n0000:0108 08-33 00-\n\n",
                   "08 00 ff ff 08 00 ff ff-33"},
        EditorCase{"PlainEContinuesOnTheCursorByte", "e 100", "41\ne\n\n", "0000:0100 08-41 00-\n\n>0000:0101 00-\n\n",
                   "41 00 ff ff"}),
    [](const ::testing::TestParamInfo<EditorCase>& info) { return info.param.name; });

TEST(InteractiveEditorEnd, EndOfInputEndsTheEditorAsEnterDoes) {
    const RunResult r = runVelkor({}, "e 100\n4");
    EXPECT_EQ(r.out, ">0000:0100 08-4\n>exit!\n");
    EXPECT_EQ(r.status, 0);
}

TEST(InteractiveEditorEnd, EditingWrapsAroundTheEndOfTheImage) {
    // DS:FFFF with DS = F000 is linear FFFFF (a line end); the next byte is linear 0, shown as
    // offset 0000.
    EXPECT_EQ(untilFirstDumpLine("r ds f000\ne ffff\n1122\nd 0:0\n"),
              ">>f000:ffff 00-11\nf000:0000 08-22 00-\n\n"
              ">0000:0000 22 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff \".\xff\xff..\xff\xff..\xff\xff..\xff\xff\n");
}

// ---- f -------------------------------------------------------------------------------------

struct FillCase {
    const char* command;
    const char* message;
    const char* line0100;  // the dump line at 0100 afterwards
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.command; }

class FillCommand : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillCommand, FillsOrRefuses) {
    const FillCase& c = GetParam();
    const std::string out = session(c.command + std::string("\nd f0\n"));
    EXPECT_EQ(out.substr(0, out.find("0000:0120")), std::string(">") + c.message + ">0000:00f0 " + kVectors +
                                                        "0000:0100 " + c.line0100 + "0000:0110 " + kVectors);
}

const char kNines[] =
    "90 90 90 90 90 90 90 90-90 90 90 90 90 90 90 90 \x90\x90\x90\x90\x90\x90\x90\x90"
    "\x90\x90\x90\x90\x90\x90\x90\x90\n";
const char kUnchanged[] = "08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FillCommand,
    ::testing::Values(
        FillCase{"f 100 10f 90", "", kNines}, FillCase{"f 100 10f 190", "", kNines},  // the value's low byte
        FillCase{"f 105 105 90", "",
                 "08 00 ff ff 08 90 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff.\x90\xff\xff..\xff\xff..\xff\xff\n"},
        FillCase{"f 10f 100 90", "address error.\n", kUnchanged},
        FillCase{"f 0 100000 90", "address error.\n", kUnchanged},  // one byte more than the image
        FillCase{"f 0 ffffffff 90", "address error.\n", kUnchanged},
        FillCase{"f 100 10f", "invalid command\n", kUnchanged}, FillCase{"f 100", "invalid command\n", kUnchanged},
        FillCase{"f 100 zz 90", "invalid command\n", kUnchanged}));

TEST(FillCommandLimits, TheWholeImageAndAWrappingRangeAreFilled) {
    EXPECT_EQ(untilFirstDumpLine("f 0 fffff 90\nd f000:fff0\n"), std::string(">>f000:fff0 ") + kNines);
    EXPECT_EQ(untilFirstDumpLine("f 0 fffff 90\nd 0\n"), std::string(">>0000:0000 ") + kNines);
    // Linear 100000 and up are linear 0 and up.
    EXPECT_EQ(untilFirstDumpLine("f ffffe 100001 77\nd ffff:e\n"),
              ">>ffff:000e 77 77 77 77 ff ff 08 00-ff ff 08 00 ff ff 08 00 wwww\xff\xff..\xff\xff..\xff\xff..\n");
}

// ---- m -------------------------------------------------------------------------------------

struct MoveCase {
    const char* move;
    const char* message;
    const char* line0100;  // the dump line at 0100 afterwards
};

void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.move; }

class MoveCommand : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MoveCommand, CopiesAsThroughABuffer) {
    // 0100..0104 hold 11 22 33 44 55 before the move (the e line prints nothing).
    const MoveCase& c = GetParam();
    EXPECT_EQ(untilFirstDumpLine("e 100 11 22 33 44 55\n" + std::string(c.move) + "\nd 100\n"),
              std::string(">>") + c.message + ">0000:0100 " + c.line0100);
}

const char kBeforeMove[] = "11 22 33 44 55 00 ff ff-08 00 ff ff 08 00 ff ff .\"3DU.\xff\xff..\xff\xff..\xff\xff\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, MoveCommand,
    ::testing::Values(
        MoveCase{"m 100 101 4", "",
                 "11 11 22 33 44 00 ff ff-08 00 ff ff 08 00 ff ff ..\"3D.\xff\xff..\xff\xff..\xff\xff\n"},
        MoveCase{"m 101 100 4", "",
                 "22 33 44 55 55 00 ff ff-08 00 ff ff 08 00 ff ff \"3DUU.\xff\xff..\xff\xff..\xff\xff\n"},
        MoveCase{"m 100 10c 4", "", "11 22 33 44 55 00 ff ff-08 00 ff ff 11 22 33 44 .\"3DU.\xff\xff..\xff\xff.\"3D\n"},
        MoveCase{"m 100 101 0", "", kBeforeMove},
        // The source runs past the end of the image into linear 0.
        MoveCase{"m ffff8 100 10", "",
                 "cb 00 00 00 00 00 00 00-08 00 ff ff 08 00 ff ff \xcb.........\xff\xff..\xff\xff\n"},
        // The whole image moved up by 0x100: linear 0..4 arrive at 0100..0104.
        MoveCase{"m 0 100 100000", "",
                 "08 00 ff ff 08 00 ff ff-08 00 ff ff 08 00 ff ff ..\xff\xff..\xff\xff..\xff\xff..\xff\xff\n"},
        MoveCase{"m 100 200", "invalid command\n", kBeforeMove},
        MoveCase{"m 100 101 100001", "address error.\n", kBeforeMove},
        MoveCase{"m 100 101 ffffffff", "address error.\n", kBeforeMove}));

}  // namespace
