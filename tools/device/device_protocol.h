#pragma once
// The device side of velkor's serial protocol: 0D r v writes bank A0 register r, 0E r v writes bank
// A1 register r, a lone 00 asks for a reset (the device answers it with one byte). The reader is fed
// raw bytes in any split and reports each finished message; it does no I/O, so it can be driven by
// any byte source, a pseudo-terminal or a fuzzer alike.
#include <array>
#include <cstdint>
#include <optional>

namespace device {

constexpr uint8_t kResetRequest = 0x00;
constexpr uint8_t kWriteA0 = 0x0D;
constexpr uint8_t kWriteA1 = 0x0E;

enum class EventKind : uint8_t { WriteA0, WriteA1, Reset, Error };

struct Event {
    EventKind kind;
    uint8_t reg = 0;    // writes: the register number
    uint8_t value = 0;  // writes: the value; errors: the unexpected byte
    bool operator==(const Event&) const = default;
};

struct MessageCounts {
    unsigned long long writesA0 = 0;
    unsigned long long writesA1 = 0;
    unsigned long long resets = 0;
    unsigned long long errors = 0;
};

using RegisterImage = std::array<uint8_t, 256>;

class ProtocolReader {
public:
    // Takes the next byte of the stream; returns the event it completes, if any.
    std::optional<Event> feed(uint8_t byte);

    const RegisterImage& imageA0() const { return imageA0_; }
    const RegisterImage& imageA1() const { return imageA1_; }
    const MessageCounts& counts() const { return counts_; }

private:
    enum class State : uint8_t { Start, Register, Value, Skipping };

    std::optional<Event> startMessage(uint8_t byte);
    Event finishWrite(uint8_t value);

    State state_ = State::Start;
    uint8_t command_ = 0;
    uint8_t register_ = 0;
    RegisterImage imageA0_{};
    RegisterImage imageA1_{};
    MessageCounts counts_;
};

}  // namespace device
