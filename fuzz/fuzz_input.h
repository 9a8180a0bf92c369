// Helpers shared by the fuzz targets: slicing the fuzzer's bytes into the
// values a target needs, and a failure that stops the fuzzer with a report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix::fuzz {

// Aborts with a message: libFuzzer saves the input that got here.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    do { \
        if (!(condition)) ::tarvenix::fuzz::Fail(#condition, __FILE__, __LINE__); \
    } while (0)

// Reads the input front to back; past the end every read gives zero/empty.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : bytes_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t Byte() {
        if (bytes_.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return b;
    }
    std::string_view Rest() {
        const std::string_view rest = bytes_;
        bytes_ = {};
        return rest;
    }
    bool Empty() const { return bytes_.empty(); }

private:
    std::string_view bytes_;
};

// Little-endian code units from bytes (an odd last byte is dropped).
inline std::u16string Units(std::string_view bytes) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return out;
}

// Splits at every `separator`; n separators give n + 1 pieces.
inline std::vector<std::u16string> Split(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (;;) {
        const auto at = text.find(separator, start);
        if (at == std::u16string_view::npos) break;
        pieces.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

// Unpaired surrogates replaced by U+FFFD: what a trip through UTF-8 leaves.
inline std::u16string WithoutUnpairedSurrogates(std::u16string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out.push_back(c);
            out.push_back(s[++i]);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace tarvenix::fuzz
