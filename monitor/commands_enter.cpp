// e: store bytes given on the line, or edit memory byte by byte from the keyboard.
#include <cstdio>
#include <cstdlib>

#include "core/cpu.h"
#include "core/memory.h"
#include "monitor/monitor.h"
#include "monitor/parse_hex.h"
#include "platform/platform.h"

namespace {

constexpr int kMaxWords = 64;
constexpr int kBackspace = 8;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The start of the next blank-separated word at or after text, or nullptr when none is left.
const char* nextWord(const char* text) {
    while (isBlank(*text)) ++text;
    return *text != '\0' ? text : nullptr;
}

const char* pastWord(const char* word) {
    while (*word != '\0' && !isBlank(*word)) ++word;
    return word;
}

int hexDigitValue(int key) {
    if (key >= '0' && key <= '9') return key - '0';
    if (key >= 'a' && key <= 'f') return key - 'a' + 10;
    if (key >= 'A' && key <= 'F') return key - 'A' + 10;
    return -1;
}

void setEnterPosition(const Cpu& cpu, MonitorState& state, uint16_t offset) {
    state.enterOffset = offset;
    state.enterAddress = linearOf(cpu.ds, offset);
}

void advanceEnterPosition(MonitorState& state) {
    ++state.enterAddress;
    state.enterOffset = static_cast<uint16_t>(state.enterOffset + 1);
}

// Stores every word after the address as one byte: the low 8 bits of the word read as hex.
void storeWords(Cpu& cpu, MonitorState& state, const char* word, int wordsLeft) {
    for (; word && wordsLeft > 0; word = nextWord(pastWord(word)), --wordsLeft) {
        writeByteLinear(cpu, state.enterAddress, static_cast<uint8_t>(std::strtoll(word, nullptr, 16)));
        advanceEnterPosition(state);
    }
}

// The keyboard editor: two hex digits store a byte and move on, a blank moves on without storing,
// Enter (or the end of input) stops on the current byte.
class ByteEditor {
public:
    ByteEditor(Cpu& cpu, MonitorState& state) : cpu_(cpu), state_(state) {}

    void run() {
        std::printf("%04x:%04x %02x-", cpu_.ds, state_.enterOffset, currentByte());
        for (;;) {
            const int key = platform::readKey();
            if (key < 0) {
                std::printf("\n");
                return;
            }
            std::putchar(key);  // the console does not echo in key mode
            if (key == '\r' || key == '\n') {
                std::printf("\n");
                return;
            }
            handleKey(key);
        }
    }

private:
    uint8_t currentByte() const { return readByteLinear(cpu_, state_.enterAddress); }

    void handleKey(int key) {
        if (key == kBackspace) {
            std::printf(" \b");  // wipe the echoed character
            if (digitCount_ > 0) --digitCount_;
            return;
        }
        if (key == ' ') {
            moveToNextByte();
            return;
        }
        const int digit = hexDigitValue(key);
        if (digit < 0) {
            std::printf("?\n%04x:%04x %02x-", cpu_.ds, state_.enterOffset, currentByte());
            digitCount_ = 0;
            return;
        }
        // Only the last two digits typed count.
        value_ = static_cast<uint8_t>(value_ * 16 + digit);
        if (++digitCount_ >= 2) {
            writeByteLinear(cpu_, state_.enterAddress, value_);
            moveToNextByte();
        }
    }

    void moveToNextByte() {
        // A line shows at most eight bytes: a new one starts at each 8-byte boundary.
        if ((state_.enterAddress & 7) == 7) {
            std::printf("\n%04x:%04x", cpu_.ds, static_cast<uint16_t>(state_.enterOffset + 1));
        }
        advanceEnterPosition(state_);
        std::printf(" %02x-", currentByte());
        value_ = 0;
        digitCount_ = 0;
    }

    Cpu& cpu_;
    MonitorState& state_;
    uint8_t value_ = 0;
    int digitCount_ = 0;
};

}  // namespace

void Monitor::enter(const char* line) {
    // Words are taken only after a blank; "e" alone (or with anything else) edits where the last e
    // stopped.
    const char* address = line[1] == ' ' ? nextWord(line + 2) : nullptr;
    if (address) {
        setEnterPosition(cpu_, state, static_cast<uint16_t>(parseHex(cpu_, address).value));
        if (const char* firstValue = nextWord(pastWord(address))) {
            storeWords(cpu_, state, firstValue, kMaxWords - 1);
            return;
        }
    }
    platform::beginKeyMode();
    ByteEditor(cpu_, state).run();
    platform::endKeyMode();
}
