// Placeholder: silent until the engine is built.
#include "synth/ssg.h"

namespace synth {

void Ssg::reset() {}
void Ssg::write(uint8_t, uint8_t) {}
uint8_t Ssg::read(uint8_t) const { return 0; }
StereoSample Ssg::next() { return {}; }

}  // namespace synth
