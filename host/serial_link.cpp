#include "host/serial_link.h"

#include <cstdio>

#include "host/register_capture.h"

SerialLink serialLink;

SerialLink::~SerialLink() { close(); }

void SerialLink::openPorts(const std::vector<int>& comPorts) {
    for (int number : comPorts) {
        handle = platform::openComPort(number);
        if (isOpen()) return;
    }
}

void SerialLink::writeRegisterA0(uint8_t reg, uint8_t value) {
    const uint8_t message[3] = {0x0D, reg, value};
    if (isOpen()) platform::writePort(handle, message, sizeof message);
    if (capture) capture->registerWrite(capture::Bank::A0, reg, value);
}

void SerialLink::writeRegisterA1(uint8_t reg, uint8_t value) {
    const uint8_t message[3] = {0x0E, reg, value};
    if (isOpen()) platform::writePort(handle, message, sizeof message);
    if (capture) capture->registerWrite(capture::Bank::A1, reg, value);
}

void SerialLink::resetHandshake() {
    if (!isOpen()) return;
    uint8_t buffer = 0x00;
    platform::writePort(handle, &buffer, 1);
    if (!platform::readPortByte(handle, buffer, kResetAnswerTimeoutMs)) buffer = 0x00;
    // "reset", the Shift-JIS full-width colon, the answer.
    std::printf("reset\x81\x46%02x\n", buffer);
}

void SerialLink::close() {
    if (isOpen()) platform::closePort(handle);
    handle = platform::kInvalidPort;
}
