// The system's ANSI code page (CP_ACP) through the platform's conversions.
#pragma once

#include "base/ansi_code_page.h"

namespace tarvenix {

// Encode never substitutes a look-alike character (no best fit): a character
// the code page lacks becomes its default character. *lossless is true only
// when no default character was used and the bytes decode back to exactly the
// given text.
class SystemAnsiCodePage final : public AnsiCodePage {
public:
    std::string Encode(std::u16string_view text, bool* lossless = nullptr) const override;
    std::u16string Decode(std::string_view bytes) const override;
};

}  // namespace tarvenix
