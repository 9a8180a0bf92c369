#include "base/text.h"

namespace tarvenix {

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    while (i < s.size()) {
        const unsigned c = byte(i);
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        std::size_t need = 0;
        std::uint32_t min = 0;
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            need = 1; cp = c & 0x1F; min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need = 2; cp = c & 0x0F; min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3; cp = c & 0x07; min = 0x10000;
        }
        if (need > 0) {
            bool ok = true;
            for (std::size_t k = 1; k <= need; ++k) {
                if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80) { ok = false; break; }
                cp = (cp << 6) | (byte(i + k) & 0x3F);
            }
            if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                len = need + 1;
            } else {
                cp = 0xFFFD;
                len = 1;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

bool HasUnpairedSurrogate(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

std::u16string Ascii(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string DecimalU32(std::uint32_t value) {
    char16_t buf[16];
    int n = 0;
    do {
        buf[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::u16string out;
    while (n > 0) out.push_back(buf[--n]);
    return out;
}

std::u16string DecimalI32(std::int32_t value) {
    if (value >= 0) return DecimalU32(static_cast<std::uint32_t>(value));
    return u"-" + DecimalU32(0u - static_cast<std::uint32_t>(value));
}

std::int32_t StrToIntLike(std::u16string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::uint32_t value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - u'0');
        ++i;
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

}  // namespace tarvenix
