// Command lines at a terminal: the line editor, the history kept between sessions, and the ?
// screen. Piped input never meets any of it (the rest of the end-to-end suite is the proof; the
// piped ? below is its one visible point).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/terminal_session.h"

namespace {

const char kUp[] = "\x1b[A";
const char kLeft[] = "\x1b[D";

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A session whose history lives in its own state folder; TERM names a terminal that every
// system's terminfo knows.
struct EditingSession {
    explicit EditingSession(const std::string& state)
        : dir(makeTempDir()), session(dir, {{"XDG_STATE_HOME", state}, {"HOME", dir}, {"TERM", "xterm"}}) {
        EXPECT_TRUE(session.waitFor(">", 5000));
    }
    // Types a line once the editor reads the terminal (the prompt is shown a moment before it takes
    // the terminal) and waits for the answer text to appear after what was shown so far.
    bool answer(const std::string& keys, const std::string& text) {
        const size_t from = session.output().size();
        if (!session.waitForKeyMode(5000)) return false;
        session.type(keys);
        return session.waitFor(text, 5000, from);
    }
    std::string dir;
    TerminalSession session;
};

class LineEditing : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VELKOR_LINE_EDITING) GTEST_SKIP() << "built without libedit";
    }
    std::string state = makeTempDir();
};

TEST_F(LineEditing, UpRecallsThePreviousCommandAndEnterRunsIt) {
    EditingSession s(state);
    ASSERT_TRUE(s.answer("zap\n", "invalid command [z]")) << s.session.output();
    ASSERT_TRUE(s.answer(std::string(kUp) + "\n", "invalid command [z]")) << s.session.output();
    ASSERT_TRUE(s.answer("q\n", "exit!")) << s.session.output();
    EXPECT_EQ(s.session.exitStatus(), 0);
}

TEST_F(LineEditing, ALineEditedInTheMiddleRunsAsEdited) {
    EditingSession s(state);
    // "n ac", two steps left (before the a), "b": the line runs as "n bac".
    ASSERT_TRUE(s.answer(std::string("n ac") + kLeft + kLeft + "b\n", "set filename [bac]")) << s.session.output();
    // Ctrl-A, Ctrl-K: the whole line goes; then a new one.
    ASSERT_TRUE(s.answer("junk\x01\x0bn xy\x01\x05z\n", "set filename [xyz]")) << s.session.output();
    s.session.type("q\n");
    EXPECT_EQ(s.session.exitStatus(), 0);
}

TEST_F(LineEditing, TheHistorySurvivesARestart) {
    {
        EditingSession first(state);
        ASSERT_TRUE(first.answer("n kept.bin\n", "set filename [kept.bin]"));
        ASSERT_TRUE(first.answer("q\n", "exit!"));
        EXPECT_EQ(first.session.exitStatus(), 0);
    }
    EXPECT_EQ(readText(state + "/velkor/history"), "n kept.bin\nq\n");
    EditingSession second(state);
    // Up twice: past q to the n command of the first session.
    ASSERT_TRUE(second.answer(std::string(kUp) + kUp + "\n", "set filename [kept.bin]")) << second.session.output();
    second.session.type("q\n");
    EXPECT_EQ(second.session.exitStatus(), 0);
}

TEST_F(LineEditing, AHistoryThatCannotBeWrittenIsIgnoredSilently) {
    const std::string blocked = state + "/file";
    std::ofstream(blocked) << "not a folder\n";  // the history folder cannot be made under a file
    EditingSession s(blocked);
    ASSERT_TRUE(s.answer("n a.bin\n", "set filename [a.bin]"));
    ASSERT_TRUE(s.answer(std::string(kUp) + "\n", "set filename [a.bin]")) << s.session.output();
    ASSERT_TRUE(s.answer("q\n", "exit!"));
    EXPECT_EQ(s.session.exitStatus(), 0);
    EXPECT_EQ(s.session.output().find("error"), std::string::npos) << s.session.output();
}

TEST_F(LineEditing, CtrlDOnAnEmptyLineEndsLikeTheEndOfInput) {
    EditingSession s(state);
    ASSERT_TRUE(s.answer("\x04", "exit!")) << s.session.output();
    EXPECT_EQ(s.session.exitStatus(), 0);
}

TEST_F(LineEditing, CtrlCAtThePromptEndsVelkor) {
    EditingSession s(state);
    s.session.type("\x03");
    int signal = 0;
    EXPECT_EQ(s.session.exitStatus(&signal), -1);
    EXPECT_EQ(signal, SIGINT);
}

TEST_F(LineEditing, TheRegisterPromptIsEditedToo) {
    EditingSession s(state);
    ASSERT_TRUE(s.answer("r ax\n", "0000:")) << s.session.output();
    // "24", one step left, "1": the value is 214.
    ASSERT_TRUE(s.answer(std::string("24") + kLeft + "1\n", ">")) << s.session.output();
    ASSERT_TRUE(s.answer("r\n", "ax:0214")) << s.session.output();
    s.session.type("q\n");
    EXPECT_EQ(s.session.exitStatus(), 0);
}

const char kHelpScreen[] =
    "assemble       a                      (accepted, does nothing)\r\n"
    "breakpoints    bp [addr]  be [addr]  bd [addr]  bc\r\n"
    "capture        v file.s98|file.vgm [ms]   v (end it)\r\n"
    "coverage       c (on/off)  cc (clear)  cs (sizes)  co (save coverage.txt)\r\n"
    "display        display                (echo sound-register writes on/off)\r\n"
    "dump           d [[seg:]offset]\r\n"
    "enter          e offset [bytes...]    (no bytes: edit byte by byte)\r\n"
    "execute        x [addr]               (the q key breaks it)\r\n"
    "fill           f start end value\r\n"
    "go             g [addr]\r\n"
    "history        h (off/simple/full)  hw (write history.txt)\r\n"
    "io log         io                     (iow.txt on/off)\r\n"
    "load, name     l [name]  n name\r\n"
    "move           m source dest count\r\n"
    "quit           q\r\n"
    "register       r [reg [value]]\r\n"
    "size           fs size                (bytes that w writes)\r\n"
    "sound device   fe (extended mode)  fr (reset)\r\n"
    "trace, proceed t  p                   (p steps over a call)\r\n"
    "unassemble     u [offset]\r\n"
    "wait           wait n (ms per WAIT)  wc (wait-loop cancel on/off)\r\n"
    "write          w [name]\r\n"
    "command line   velkor [-exact] [-com n]...   numbers are hex, -com n and wait n decimal\r\n";

// At a terminal (editor or not), ? shows every command on one screen.
TEST(HelpScreen, AtATerminalQuestionMarkShowsTheCommands) {
    const std::string dir = makeTempDir();
    TerminalSession session(dir, {{"XDG_STATE_HOME", dir}, {"TERM", "xterm"}});
    ASSERT_TRUE(session.waitFor(">", 5000));
    if (VELKOR_LINE_EDITING) {
        ASSERT_TRUE(session.waitForKeyMode(5000));
    }
    session.type("?\n");
    ASSERT_TRUE(session.waitFor("decimal\r\n>", 5000)) << session.output();
    const std::string& out = session.output();
    const size_t start = out.find("assemble");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(out.substr(start, std::string(kHelpScreen).size()), kHelpScreen);
    session.type("q\n");
    EXPECT_EQ(session.exitStatus(), 0);
}

TEST(HelpScreen, PipedQuestionMarkStaysAnInvalidCommand) {
    const RunResult r = runVelkor({}, "?\n? x\nq\n");
    EXPECT_EQ(r.out, ">invalid command [?]\n>invalid command [?]\n>exit!\n");
}

}  // namespace
