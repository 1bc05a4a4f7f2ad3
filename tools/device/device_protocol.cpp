#include "tools/device/device_protocol.h"

namespace device {

namespace {
bool startsMessage(uint8_t byte) { return byte == kResetRequest || byte == kWriteA0 || byte == kWriteA1; }
}  // namespace

std::optional<Event> ProtocolReader::feed(uint8_t byte) {
    switch (state_) {
        case State::Register:
            register_ = byte;
            state_ = State::Value;
            return std::nullopt;
        case State::Value:
            state_ = State::Start;
            return finishWrite(byte);
        case State::Skipping:
            // After a stray byte, everything up to the next byte that can start a message is
            // part of the same disturbance and is dropped without a second report.
            if (!startsMessage(byte)) return std::nullopt;
            return startMessage(byte);
        case State::Start:
            break;
    }
    return startMessage(byte);
}

std::optional<Event> ProtocolReader::startMessage(uint8_t byte) {
    if (byte == kResetRequest) {
        state_ = State::Start;
        imageA0_.fill(0);
        imageA1_.fill(0);
        ++counts_.resets;
        return Event{EventKind::Reset};
    }
    if (byte == kWriteA0 || byte == kWriteA1) {
        command_ = byte;
        state_ = State::Register;
        return std::nullopt;
    }
    state_ = State::Skipping;
    ++counts_.errors;
    return Event{EventKind::Error, 0, byte};
}

Event ProtocolReader::finishWrite(uint8_t value) {
    if (command_ == kWriteA0) {
        imageA0_[register_] = value;
        ++counts_.writesA0;
        return Event{EventKind::WriteA0, register_, value};
    }
    imageA1_[register_] = value;
    ++counts_.writesA1;
    return Event{EventKind::WriteA1, register_, value};
}

}  // namespace device
