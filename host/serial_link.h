#pragma once
// The serial link to the external YM2608 device. Messages: 0D r v (bank A0 write),
// 0E r v (bank A1 write), 00 (reset request, answered by one byte).
#include <cstdint>
#include <vector>

#include "platform/platform.h"

class RegisterCapture;

struct SerialLink {
    SerialLink() = default;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;
    ~SerialLink();

    platform::PortHandle handle = platform::kInvalidPort;
    uint8_t registerImageA0[256] = {};
    uint8_t registerImageA1[256] = {};
    // Records every register message sent (or that would be sent when no port is open).
    RegisterCapture* capture = nullptr;

    bool isOpen() const { return handle != platform::kInvalidPort; }
    // Tries the ports in order and keeps the first that opens; silent either way.
    void openPorts(const std::vector<int>& comPorts);
    void writeRegisterA0(uint8_t reg, uint8_t value);
    void writeRegisterA1(uint8_t reg, uint8_t value);
    // Sends the reset request and prints the device's answer ("00" when none came in time).
    void resetHandshake();
    void close();
};

// How long the reset handshake waits for the device's answer.
constexpr int kResetAnswerTimeoutMs = 3000;

// The program's one link.
extern SerialLink serialLink;
