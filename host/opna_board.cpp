#include "host/opna_board.h"

#include "host/serial_link.h"

OpnaBoard opnaBoard(serialLink);

namespace {
constexpr uint16_t kPortAddressA0 = 0x188;
constexpr uint16_t kPortDataA0 = 0x18A;
constexpr uint16_t kPortAddressA1 = 0x18C;
constexpr uint16_t kPortDataA1 = 0x18E;
constexpr uint16_t kPortBoardId = 0xA460;
constexpr uint8_t kBoardId = 0x41;
constexpr uint8_t kTimerControlRegister = 0x27;

// Ports polled by PC-98 drivers for other hardware; logging them would drown the log.
bool neverLoggedRead(uint16_t port) {
    return port == 0x5F || port == 0xA1 || port == 0xA3 || port == 0xA5 || port == 0xA9;
}
}  // namespace

OpnaBoard::~OpnaBoard() { setIoLog(false); }

void OpnaBoard::setIoLog(bool on) {
    ioLog = on;
    if (!on && logFile_) {
        std::fclose(logFile_);
        logFile_ = nullptr;
    }
}

// The log stays open while it is on; every line is flushed before the guest goes on.
std::FILE* OpnaBoard::logFile() {
    if (!logFile_) logFile_ = std::fopen("iow.txt", "ab");
    return logFile_;
}

// Register 27 holds two things: the timer controls (bits 0-5), which stay on the host because it
// owns timing, and FM channel 3's mode (bits 6-7: normal, special, CSM), which the chip needs for
// the notes to be right. The mode goes out with the timer bits cleared, and only when it changed:
// drivers write 27 on every tick, which would flood the link.
void OpnaBoard::forwardChannel3Mode(uint8_t value) {
    const uint8_t mode = value & 0xC0;
    if (mode == channel3ModeSent) return;
    channel3ModeSent = mode;
    link->registerImageA0[kTimerControlRegister] = mode;
    link->writeRegisterA0(kTimerControlRegister, mode);
    if (display86io) std::printf("A0[%02x]<-[%02x]\n", kTimerControlRegister, mode);
}

uint8_t OpnaBoard::portRead(uint16_t port) {
    if (ioLog && !neverLoggedRead(port)) {
        if (std::FILE* log = logFile()) {
            std::fprintf(log, "%04x\n", port);
            std::fflush(log);
        }
    }
    switch (port) {
        case kPortAddressA0: {
            const uint8_t status = statusByte;
            statusByte = 0;
            return status;
        }
        case kPortDataA0:
            // Only the SSG registers 00-0F read back.
            return addressLatchA0 < 0x10 ? link->registerImageA0[addressLatchA0] : 0;
        case kPortBoardId:
            return kBoardId;
        default:
            return 0;
    }
}

void OpnaBoard::portWrite(uint16_t port, uint8_t value) {
    if (ioLog) {
        if (std::FILE* log = logFile()) {
            std::fprintf(log, "%04x <- %02x\n", port, value);
            std::fflush(log);
        }
    }
    switch (port) {
        case kPortAddressA0:
            addressLatchA0 = value;
            break;
        case kPortDataA0: {
            const uint8_t reg = addressLatchA0;
            if (reg == kTimerControlRegister) {
                forwardChannel3Mode(value);
                break;
            }
            link->registerImageA0[reg] = value;
            link->writeRegisterA0(reg, value);
            if (display86io) std::printf("A0[%02x]<-[%02x]\n", reg, value);
            break;
        }
        case kPortAddressA1:
            addressLatchA1 = value;
            break;
        case kPortDataA1: {
            const uint8_t reg = addressLatchA1;
            link->registerImageA1[reg] = value;
            link->writeRegisterA1(reg, value);
            if (display86io) std::printf("A1[%02x]<-[%02x]\n", reg, value);
            break;
        }
        default:
            break;
    }
}
