#include "synth/fm_phase.h"

#include "synth/fm_tables.h"

namespace synth::fm {

namespace {
constexpr uint32_t kBaseIncrementMask = (1u << 17) - 1;  // the detuned increment wraps at 17 bits
}

int Pitch::keyCode() const { return fm::keyCode(block, fnum); }

uint32_t phaseIncrement(int blockShifted, int detuneCode, int keyCode, int multiple) {
    const uint32_t base = static_cast<uint32_t>((blockShifted >> 1) + detuneOffset(detuneCode, keyCode)) &
                          kBaseIncrementMask;
    return multiple == 0 ? base >> 1 : base * static_cast<uint32_t>(multiple);
}

}  // namespace synth::fm
