#include "disasm/text.h"

void formatInto(char* buffer, size_t size, const char* format, va_list args) {
    std::vsnprintf(buffer, size, format, args);
}
