#pragma once
// The DOS INT 21h functions the host answers itself: there is no DOS in the guest, so the INT
// instruction serves them directly, with console output on the host's standard output.
#include <cstdint>

#include "core/cpu.h"

// The interrupt number that reaches these services instead of the guest's vector table.
constexpr uint8_t kDosServiceVector = 0x21;

// Runs the function selected by AH. The interrupt frame has already been pushed; the service clears
// CF, does its work and discards the frame, so execution continues after the INT.
void runDosService(Cpu& cpu);
