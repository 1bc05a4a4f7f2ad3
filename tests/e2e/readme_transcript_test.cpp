// The README's transcripts stay true: every code block marked with a "transcript:" comment is run
// as the comment says, and its lines must be found, in order, in what velkor prints. A line that
// starts with "..." stands for any number of lines; trailing blanks and tabs are not compared (the
// README leaves them out); the commands typed at a terminal are shown after each prompt.
//
// The comment: <!-- transcript: image FILE; device HH; env NAME=VALUE; args WORDS; input A | B | C -->
// (image: a file of the source tree loaded as noname.bin; device: a device on COM3 answering HH;
// every part but input is optional).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/fake_device.h"
#include "support/guest_image.h"

namespace {

struct Transcript {
    int line = 0;  // of the comment in the README
    std::string image;
    int deviceAnswer = -1;
    EnvList env;
    std::vector<std::string> args;
    std::vector<std::string> input;
    std::vector<std::string> expected;
};

std::vector<std::string> splitOn(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size()) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string withoutTrailingBlanks(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.pop_back();
    return line;
}

// The README shows the reset line's Shift-JIS colon as the character it stands for.
std::string asPrinted(std::string line) {
    const std::string fullWidthColon = "\xEF\xBC\x9A";
    for (size_t at; (at = line.find(fullWidthColon)) != std::string::npos;) line.replace(at, 3, "\x81\x46");
    return withoutTrailingBlanks(line);
}

void applyOption(Transcript& t, const std::string& option) {
    const size_t blank = option.find(' ');
    const std::string key = option.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : option.substr(blank + 1);
    if (key == "image") {
        t.image = value;
    } else if (key == "device") {
        t.deviceAnswer = static_cast<int>(std::strtol(value.c_str(), nullptr, 16));
    } else if (key == "env") {
        const size_t equals = value.find('=');
        t.env.push_back({value.substr(0, equals), value.substr(equals + 1)});
    } else if (key == "args") {
        t.args = splitOn(value, " ");
    } else if (key == "input") {
        t.input = splitOn(value, " | ");
    } else {
        ADD_FAILURE() << "README line " << t.line << ": unknown transcript option " << key;
    }
}

std::vector<Transcript> readmeTranscripts() {
    std::ifstream readme(std::string(VELKOR_SOURCE_DIR) + "/README.md");
    std::vector<Transcript> found;
    const std::string marker = "<!-- transcript: ";
    std::string line;
    for (int number = 1; std::getline(readme, line); ++number) {
        if (line.rfind(marker, 0) != 0) continue;
        Transcript t;
        t.line = number;
        const std::string options = line.substr(marker.size(), line.rfind(" -->") - marker.size());
        for (const std::string& option : splitOn(options, "; ")) applyOption(t, option);
        std::getline(readme, line);  // the opening fence
        ++number;
        while (std::getline(readme, line) && line.rfind("```", 0) != 0) {
            ++number;
            t.expected.push_back(asPrinted(line));
        }
        found.push_back(t);
    }
    return found;
}

// What a terminal shows: the typed command after each prompt that starts a line.
std::vector<std::string> terminalLines(const std::string& output, const std::vector<std::string>& input) {
    std::string shown;
    size_t next = 0;
    bool lineStart = true;
    for (char c : output) {
        shown += c;
        if (c == '>' && lineStart && next < input.size()) shown += input[next++] + "\n";
        lineStart = c == '\n' || (c == '>' && lineStart);
    }
    std::vector<std::string> lines;
    for (const std::string& line : splitOn(shown, "\n")) lines.push_back(withoutTrailingBlanks(line));
    return lines;
}

bool isElision(const std::string& line) { return line.rfind("...", 0) == 0; }

bool runMatchesAt(const std::vector<std::string>& run, const std::vector<std::string>& shown, size_t at) {
    if (at + run.size() > shown.size()) return false;
    for (size_t i = 0; i < run.size(); ++i) {
        if (shown[at + i] != run[i]) return false;
    }
    return true;
}

// The transcript's lines in order: each run of lines between "..." lines consecutive, a run after
// a "..." line (or the first one) anywhere later. Returns "" or what went wrong.
std::string findInOrder(const std::vector<std::string>& expected, const std::vector<std::string>& shown) {
    size_t at = 0;
    bool anywhere = true;
    for (size_t first = 0; first < expected.size();) {
        if (isElision(expected[first])) {
            anywhere = true;
            ++first;
            continue;
        }
        size_t end = first;
        while (end < expected.size() && !isElision(expected[end])) ++end;
        const std::vector<std::string> run(expected.begin() + static_cast<std::ptrdiff_t>(first),
                                           expected.begin() + static_cast<std::ptrdiff_t>(end));
        size_t found = at;
        while (anywhere && found < shown.size() && !runMatchesAt(run, shown, found)) ++found;
        if (!runMatchesAt(run, shown, found)) {
            return "the lines from \"" + run.front() + "\" on are not found " +
                   (anywhere ? "after output line " : "at output line ") + std::to_string(at + 1);
        }
        at = found + run.size();
        anywhere = false;
        first = end;
    }
    return "";
}

TEST(ReadmeTranscripts, AreWhatVelkorPrints) {
    const std::vector<Transcript> transcripts = readmeTranscripts();
    ASSERT_FALSE(transcripts.empty()) << "no transcript found in README.md";
    for (const Transcript& t : transcripts) {
        const std::string dir = makeTempDir();
        if (!t.image.empty()) {
            std::ifstream source(std::string(VELKOR_SOURCE_DIR) + "/" + t.image, std::ios::binary);
            ASSERT_TRUE(source) << t.image;
            std::ofstream(dir + "/noname.bin", std::ios::binary) << source.rdbuf();
        }
        std::unique_ptr<FakeDevice> device;
        EnvList env = {{"VELKOR_COM3", "/nonexistent/c3"}, {"VELKOR_COM4", "/nonexistent/c4"}};
        if (t.deviceAnswer >= 0) {
            device = std::make_unique<FakeDevice>(t.deviceAnswer);
            env[0].second = device->path();
        }
        env.insert(env.end(), t.env.begin(), t.env.end());
        std::string input;
        for (const std::string& command : t.input) input += command + "\n";
        const RunResult r = runVelkor(t.args, input, env, dir, 60000);
        const std::string problem = findInOrder(t.expected, terminalLines(r.out, t.input));
        EXPECT_EQ(problem, "") << "README.md transcript at line " << t.line << "\n" << r.out;
    }
}

}  // namespace
