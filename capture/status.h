#pragma once
// What a capture writer answers for each command it is given.
#include <cstdint>

namespace capture {

enum class Status : uint8_t {
    ok,
    full,    // the format cannot hold more: the file is complete up to here
    failed,  // a write failed: the file is as the last good flush left it
};

// The YM2608's two register banks, as every format names them.
enum class Bank : uint8_t { A0, A1 };

constexpr uint32_t kClockYm2608 = 7987200;  // the PC-9801-86 board's master clock

}  // namespace capture
