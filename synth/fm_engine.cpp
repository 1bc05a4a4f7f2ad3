// Placeholder: silent until the engine is built.
#include "synth/fm_engine.h"

namespace synth {

void FmEngine::reset() {}
void FmEngine::write(int, uint8_t, uint8_t) {}
StereoSample FmEngine::next() { return {}; }

}  // namespace synth
