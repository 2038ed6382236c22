// The fuzz input format: one flag byte (bit 0: open with the password "pw"; bit 1: write the
// companion), four bytes of little-endian length for the .edb part, the .edb bytes, then the
// .edt bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz_input {

inline constexpr uint8_t kWithPassword = 1, kWithCompanion = 2;

struct Parts {
    uint8_t flags = 0;
    std::string_view edb, edt;
};

inline Parts split(const uint8_t* data, size_t size) {
    Parts p;
    if (size < 5) return p;
    p.flags = data[0];
    size_t len = data[1] | (size_t{data[2]} << 8) | (size_t{data[3]} << 16) | (size_t{data[4]} << 24);
    const char* rest = reinterpret_cast<const char*>(data + 5);
    const size_t restSize = size - 5;
    if (len > restSize) len = restSize;
    p.edb = std::string_view(rest, len);
    p.edt = std::string_view(rest + len, restSize - len);
    return p;
}

inline std::string join(uint8_t flags, std::string_view edb, std::string_view edt) {
    std::string out(1, static_cast<char>(flags));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((edb.size() >> (8 * i)) & 0xFF));
    out.append(edb);
    out.append(edt);
    return out;
}

}  // namespace fuzz_input
