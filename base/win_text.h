// Bridges between the program's UTF-16 text and the Windows W functions.
#pragma once

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

namespace tarvenix {

inline const wchar_t* Wz(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string U16(const wchar_t* s) {
    return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}
inline std::u16string U16(const wchar_t* s, std::size_t n) {
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}
inline std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace tarvenix
