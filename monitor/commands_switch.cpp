// Coverage, port log, display and sound-hardware switches.
#include "monitor/monitor.h"

void Monitor::coverageCommand(const char*) {}
void Monitor::toggleIoLog() {}
void Monitor::toggleDisplay() {}
void Monitor::setWait(const char*) {}
void Monitor::toggleWaitLoopCancel() {}
void Monitor::fmExtMode() {}
void Monitor::fmReset() {}
