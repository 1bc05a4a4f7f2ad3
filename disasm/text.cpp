#include "disasm/text.h"

void formatAsmText(Cpu& cpu, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(cpu.asmText, sizeof cpu.asmText, format, args);
    va_end(args);
}

void formatTraceText(Cpu& cpu, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(cpu.traceText, sizeof cpu.traceText, format, args);
    va_end(args);
}
