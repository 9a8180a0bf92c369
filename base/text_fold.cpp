#include "base/text_fold.h"

namespace tarvenix {

char16_t FoldLetter(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    // Latin-1: À..Þ except ×.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
    if (c == 0x178) return 0xFF;  // Ÿ, whose small letter lies in Latin-1
    // Latin Extended-A pairs (capital even, small odd), except the odd-based runs.
    if (c >= 0x100 && c <= 0x17F) {
        const bool oddBased = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (oddBased) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
        return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    }
    // Cyrillic: Ѐ..Џ, А..Я, then the paired letters from Ѡ on.
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    return c;
}

std::u16string FoldCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = FoldLetter(c);
    return out;
}

bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle) {
    if (foldedNeedle.empty()) return true;
    if (foldedNeedle.size() > text.size()) return false;
    const std::size_t last = text.size() - foldedNeedle.size();
    for (std::size_t start = 0; start <= last; ++start) {
        std::size_t k = 0;
        while (k < foldedNeedle.size() && FoldLetter(text[start + k]) == foldedNeedle[k]) ++k;
        if (k == foldedNeedle.size()) return true;
    }
    return false;
}

}  // namespace tarvenix
