#include "disasm/text.h"

namespace {

// The conversions the instruction texts use: %s, %c, %% and hexadecimal %x with an optional width,
// zero- or blank-padded (%02x, %04x, %05x, %5x). The texts are formatted on every decode-only step,
// so they get this small formatter; any other format goes to vsnprintf.
bool isSimpleFormat(const char* format) {
    for (const char* f = format; *f != '\0'; ++f) {
        if (*f != '%') continue;
        ++f;
        if (*f == 's' || *f == 'c' || *f == '%') continue;
        while (*f >= '0' && *f <= '9') ++f;
        if (*f != 'x') return false;
    }
    return true;
}

void formatSimple(char* out, size_t size, const char* format, va_list args) {
    static const char kHexDigits[] = "0123456789abcdef";
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 < size) out[n++] = c;
    };
    for (const char* f = format; *f != '\0'; ++f) {
        if (*f != '%') {
            put(*f);
            continue;
        }
        ++f;
        if (*f == 's') {
            for (const char* s = va_arg(args, const char*); *s != '\0'; ++s) put(*s);
        } else if (*f == 'c') {
            put(static_cast<char>(va_arg(args, int)));
        } else if (*f == '%') {
            put('%');
        } else {
            const char pad = *f == '0' ? '0' : ' ';
            int width = 0;
            for (; *f >= '0' && *f <= '9'; ++f) width = width * 10 + (*f - '0');
            unsigned value = va_arg(args, unsigned);
            char digits[8];
            int count = 0;
            do {
                digits[count++] = kHexDigits[value & 15];
                value >>= 4;
            } while (value != 0);
            for (int i = count; i < width; ++i) put(pad);
            while (count > 0) put(digits[--count]);
        }
    }
    out[n] = '\0';
}

void formatInto(char* out, size_t size, const char* format, va_list args) {
    if (isSimpleFormat(format)) {
        formatSimple(out, size, format, args);
    } else {
        std::vsnprintf(out, size, format, args);
    }
}

}  // namespace

void formatText(char* out, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatInto(out, size, format, args);
    va_end(args);
}

void formatAsmText(Cpu& cpu, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatInto(cpu.asmText, sizeof cpu.asmText, format, args);
    va_end(args);
}

void formatTraceText(Cpu& cpu, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatInto(cpu.traceText, sizeof cpu.traceText, format, args);
    va_end(args);
}
