#pragma once
// The emulated PC-9801-86 sound board: the YM2608's two register banks behind address/data port
// pairs (0x188/0x18A bank A0, 0x18C/0x18E bank A1), the status port and the board id port 0xA460.
#include <cstdint>
#include <cstdio>

struct SerialLink;

struct OpnaBoard {
    explicit OpnaBoard(SerialLink& link) : link(&link) {}
    OpnaBoard(const OpnaBoard&) = delete;
    OpnaBoard& operator=(const OpnaBoard&) = delete;
    ~OpnaBoard();

    bool display86io = false;
    bool ioLog = false;
    uint8_t statusByte = 0;
    uint8_t addressLatchA0 = 0;
    uint8_t addressLatchA1 = 0;
    // Channel 3's mode bits of register 27 as last sent to the chip (0 after a reset).
    uint8_t channel3ModeSent = 0;
    SerialLink* link;

    uint8_t portRead(uint16_t port);
    void portWrite(uint16_t port, uint8_t value);
    // Switches the port log; closing it lets other programs see a finished file.
    void setIoLog(bool on);
    // The device was reset: its register 27 is 0 again.
    void deviceReset() { channel3ModeSent = 0; }

private:
    std::FILE* logFile_ = nullptr;
    std::FILE* logFile();
    void forwardChannel3Mode(uint8_t value);
};

// The program's one board, wired to the program's serial link.
extern OpnaBoard opnaBoard;
