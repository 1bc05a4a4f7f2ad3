// Placeholder: silent until the engine is built.
#include "synth/adpcm_b.h"

namespace synth {

void AdpcmB::reset() {}
void AdpcmB::write(uint8_t, uint8_t) {}
StereoSample AdpcmB::next() { return {}; }

}  // namespace synth
