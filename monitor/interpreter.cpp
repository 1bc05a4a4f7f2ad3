// Dispatch of one command line on its first (and second) character.
#include <cstdio>
#include <cstring>

#include "host/register_capture.h"
#include "monitor/monitor.h"
#include "platform/line_editor.h"

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool startsWith(const char* line, const char* word) { return std::strncmp(line, word, std::strlen(word)) == 0; }
}  // namespace

bool Monitor::interpretLine(char* line) {
    const char second = line[0] ? line[1] : '\0';
    switch (line[0]) {
        case 'a':
            return false;
        case 'b':
            breakpointCommand(line);
            return false;
        case 'c':
            coverageCommand(line);
            return false;
        case 'd':
            if (startsWith(line, "display")) {
                toggleDisplay();
            } else {
                dump(line);
            }
            return false;
        case 'e':
            enter(line);
            return false;
        case 'f':
            if (second == '\0') {
                std::printf("plz ext char!\n");
            } else if (isBlank(second)) {
                fill(line);
            } else if (second == 'e') {
                fmExtMode();
            } else if (second == 'r') {
                fmReset();
            } else if (second == 's') {
                setFileSize(line);
            }
            return false;
        case 'g':
            go(line);
            return false;
        case 'h':
            if (second == 'w') {
                writeHistory();
            } else {
                cycleHistoryMode();
            }
            return false;
        case 'i':
            if (second == 'o') toggleIoLog();
            return false;
        case 'l':
            load(line);
            return false;
        case 'm':
            move(line);
            return false;
        case 'n':
            setName(line);
            return false;
        case 'p':
            proceed();
            return false;
        case 'q':
            capture_.stop();
            std::printf("exit!\n");
            return true;
        case 'r':
            registers(line);
            return false;
        case 't':
            trace();
            return false;
        case 'u':
            unassemble(line);
            return false;
        case 'v':
            captureCommand(line);
            return false;
        case 'w':
            if (second == 'c') {
                toggleWaitLoopCancel();
            } else if (startsWith(line, "wait")) {
                setWait(line);
            } else if (second == '\0' || isBlank(second)) {
                write(line);
            } else {
                std::printf("illegal command request.\n");
            }
            return false;
        case 'x':
            execute(line);
            return false;
        case '?':
            // Help is for people at a terminal; a script's ? stays the invalid command it was.
            if (platform::inputIsTerminal()) {
                showHelp();
            } else {
                std::printf("invalid command [%c]\n", line[0]);
            }
            return false;
        default:
            std::printf("invalid command [%c]\n", line[0]);
            return false;
    }
}
