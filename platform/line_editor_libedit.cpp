// The line editor at a POSIX terminal: libedit's readline interface (BSD licence, in every BSD and
// macOS, Debian's libedit-dev). The history lives in $XDG_STATE_HOME/velkor/history, else
// ~/.local/state/velkor/history, one command per line, the newest last.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include <editline/readline.h>

#include "platform/line_editor.h"

namespace platform {

namespace {

// The directory that holds the history file ("" when there is no home to put it in).
std::string historyDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::string(state) + "/velkor";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.local/state/velkor";
    return "";
}

// mkdir -p; failures show later as a file that cannot be written.
void makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0700);
    }
    mkdir(path.c_str(), 0700);
}

class History {
public:
    void load() {
        if (loaded_) return;
        loaded_ = true;
        stifle_history(static_cast<int>(kHistoryLines));
        const std::string directory = historyDirectory();
        if (directory.empty()) return;
        path_ = directory + "/history";
        if (FILE* file = std::fopen(path_.c_str(), "r")) {
            char line[1024];
            while (std::fgets(line, sizeof line, file)) {
                line[std::strcspn(line, "\r\n")] = '\0';
                if (line[0] != '\0') keep(line);
            }
            std::fclose(file);
        }
        for (const std::string& line : lines_) add_history(line.c_str());
    }

    void remember(const char* line) {
        if (line[0] == '\0' || (!lines_.empty() && lines_.back() == line)) return;
        keep(line);
        add_history(line);
        save();
    }

private:
    void keep(const std::string& line) {
        lines_.push_back(line);
        if (lines_.size() > kHistoryLines) lines_.pop_front();
    }

    // The whole file again (at most kHistoryLines short lines, once per typed command), so that it
    // never holds more and a session that ends abruptly loses nothing.
    void save() {
        if (path_.empty()) return;
        if (!madeDirectories_) {
            makeDirectories(historyDirectory());
            madeDirectories_ = true;
        }
        FILE* file = std::fopen(path_.c_str(), "w");
        if (!file) return;
        for (const std::string& line : lines_) std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }

    bool loaded_ = false;
    bool madeDirectories_ = false;
    std::string path_;
    std::deque<std::string> lines_;
};

History history;

}  // namespace

bool lineEditing() { return inputIsTerminal(); }

bool editLine(const char* prompt, char* buffer, size_t size) {
    history.load();
    std::fflush(stdout);
    char* line = readline(prompt);
    if (!line) return false;
    std::snprintf(buffer, size, "%s", line);
    std::free(line);
    return true;
}

void rememberLine(const char* line) {
    if (!lineEditing()) return;  // scripted lines leave the history alone
    history.load();
    history.remember(line);
}

}  // namespace platform
