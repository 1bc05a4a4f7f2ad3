// Execution control, breakpoints and history.
#include "monitor/monitor.h"

void Monitor::trace() {}
void Monitor::go(const char*) {}
void Monitor::proceed() {}
void Monitor::execute(const char*) {}
void Monitor::breakpointCommand(const char*) {}
void Monitor::cycleHistoryMode() {}
void Monitor::writeHistory() {}
