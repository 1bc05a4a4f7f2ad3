#pragma once
#include <cstdint>

#include "core/decode_cache.h"
#include "core/modes.h"

// Decodes the instruction whose bytes start at `code` (`window` its first kWindowBytes bytes) into
// `d`: its handler, length and operands, or no handler when the step has to run it. The entry is
// valid for as long as the masked window holds the same bytes.
template <class M>
void decodeInstruction(DecodedInstruction& d, const uint8_t* code, uint64_t window);

// Decodes the block of instructions that starts at image address `linear`.
template <class M>
void decodeBlock(DecodedBlock& b, const uint8_t* image, uint32_t linear);
