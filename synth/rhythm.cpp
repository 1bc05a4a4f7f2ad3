// Placeholder: silent until the engine is built.
#include "synth/rhythm.h"

namespace synth {

void Rhythm::reset() {}
void Rhythm::write(uint8_t, uint8_t) {}
StereoSample Rhythm::next() { return {}; }

}  // namespace synth
