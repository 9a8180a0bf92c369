// The system's ANSI code page, as the program's files need it. Portable
// interface: the Windows implementation asks the system (CP_ACP); tests use
// the tables in ansi_tables.h.
#pragma once

#include <string>
#include <string_view>

namespace tarvenix {

class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    // Text to code-page bytes; characters the code page lacks become its
    // default character, and *lossless (when given) is set to false.
    virtual std::string Encode(std::u16string_view text, bool* lossless = nullptr) const = 0;
    virtual std::u16string Decode(std::string_view bytes) const = 0;
};

}  // namespace tarvenix
