#pragma once
// Writes a memory image file whose bytes at offset 0x100 (the start-up CS:IP) are the given code.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

inline void writeGuestImage(const std::string& path, const std::vector<uint8_t>& code, uint32_t at = 0x100) {
    std::vector<uint8_t> image(at + code.size(), 0);
    for (size_t i = 0; i < code.size(); ++i) image[at + i] = code[i];
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The two register lines of the display, for expected outputs.
inline std::string registerLines(uint16_t ax, uint16_t bx, uint16_t cx, uint16_t dx, uint16_t sp, uint16_t ip,
                                 const char* flags = "NV UP EI PL NZ NA PO NC", uint16_t bp = 0, uint16_t si = 0,
                                 uint16_t di = 0, uint16_t ds = 0, uint16_t es = 0, uint16_t ss = 0, uint16_t cs = 0) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "ax:%04x  bx:%04x  cx:%04x  dx:%04x  sp:%04x  bp:%04x  si:%04x  di:%04x\n"
                  "ds:%04x  es:%04x  ss:%04x  cs:%04x  ip:%04x  %s\n",
                  ax, bx, cx, dx, sp, bp, si, di, ds, es, ss, cs, ip, flags);
    return text;
}
