// Single-byte ANSI code pages from fixed tables, so that the file codecs can
// be exercised on any platform with a known code page. Portable.
#pragma once

#include "base/ansi_code_page.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace tarvenix {

// A code page whose bytes 0x00-0x7F are ASCII and whose bytes 0x80-0xFF map
// through a 128-entry table. Bytes the code page leaves undefined are given
// the same code point as the byte (U+0081 for 0x81), as the system's own
// conversion does, so every byte decodes and every decoded byte encodes back.
// Characters outside the table encode as '?' with no best-fit substitution
// ('ё' does not become 'е'); a surrogate pair counts as one character.
class SingleByteCodePage final : public AnsiCodePage {
public:
    explicit SingleByteCodePage(const std::array<char16_t, 128>& upper);

    std::string Encode(std::u16string_view text, bool* lossless = nullptr) const override;
    std::u16string Decode(std::string_view bytes) const override;

private:
    std::array<char16_t, 128> upper_;
};

// Tables of Windows code pages 1251 (Cyrillic) and 1252 (Western European).
const std::array<char16_t, 128>& CodePage1251Upper();
const std::array<char16_t, 128>& CodePage1252Upper();

// 1251 or 1252; nullptr for any other code page.
std::unique_ptr<AnsiCodePage> MakeTableCodePage(int codePage);

}  // namespace tarvenix
