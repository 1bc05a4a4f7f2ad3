// Memory, register and image-file commands.
#include "monitor/monitor.h"

void Monitor::dump(const char*) {}
void Monitor::enter(const char*) {}
void Monitor::fill(const char*) {}
void Monitor::move(const char*) {}
void Monitor::unassemble(const char*) {}
void Monitor::registers(const char*) {}
