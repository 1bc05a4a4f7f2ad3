#pragma once
// velkor's own register capture (the v command): every register message the serial link sends,
// in order, on the guest's timeline of WAIT ticks, written as S98 or VGM. It records whether or not
// a port is open, and it owns the messages about its file.
#include <cstdint>
#include <memory>
#include <string>

#include "capture/tick_capture.h"

class RegisterCapture {
public:
    RegisterCapture() = default;
    RegisterCapture(const RegisterCapture&) = delete;
    RegisterCapture& operator=(const RegisterCapture&) = delete;
    // A capture still running is finished without a word.
    ~RegisterCapture();

    bool active() const { return capture_ != nullptr; }

    // Creates the file and starts recording at time 0; prints the start line, or "file open
    // error." and records nothing.
    bool start(const std::string& path, capture::Format format, uint32_t tickMs, const std::string& title);
    // Finishes the file and prints its line: name, writes per bank, ticks and duration.
    void stop();
    // Writes what is recorded so far to the file, which is then complete (done at the prompt).
    void flush();

    void registerWrite(capture::Bank bank, uint8_t reg, uint8_t value) {
        if (capture_) record(bank, reg, value);
    }
    void tick() {
        if (capture_) recordTick();
    }

private:
    void record(capture::Bank bank, uint8_t reg, uint8_t value);
    void recordTick();
    // A write that failed or a file that is full ends the capture, with a message why.
    void endOn(capture::Status status);

    std::unique_ptr<capture::TickCapture> capture_;
    std::string path_;
};

// The program's one capture, fed by the program's serial link and tick hook.
extern RegisterCapture registerCapture;
