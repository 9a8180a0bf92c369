// Text helpers shared by the whole program. Portable: no platform headers.
// The program's text type is UTF-16 (std::u16string), the same code units the
// Windows W functions take, so comparisons and byte counts are exact on every
// platform the core builds on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvenix {

// UTF-8 <-> UTF-16. Invalid UTF-8 sequences decode to U+FFFD; unpaired
// surrogates encode as U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// True when the text holds a surrogate code unit that is not part of a
// high-low pair (UTF-8 and the ANSI code pages cannot carry it).
bool HasUnpairedSurrogate(std::u16string_view utf16);

// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t codePoint);

// Plain ASCII to UTF-16 (for literals and numbers).
std::u16string Ascii(std::string_view ascii);

// Decimal text: unsigned without sign or leading zeros; signed with '-' when negative.
std::u16string DecimalU32(std::uint32_t value);
std::u16string DecimalI32(std::int32_t value);

// The shell's StrToIntW rule: optional sign, then the leading decimal digits;
// text without digits reads as 0, never an error. The value wraps modulo 2^32,
// so "4294967295" reads back as the session ID 4294967295.
std::int32_t StrToIntLike(std::u16string_view text);

}  // namespace tarvenix
