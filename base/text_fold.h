// Case-insensitive finding for the find box and the command line's filters:
// Latin (with Latin-1 and Latin Extended-A) and Cyrillic letters folded to
// small letters; other code units stay as they are. Portable, no locale.
#pragma once

#include <string>
#include <string_view>

namespace tarvenix {

char16_t FoldLetter(char16_t c);
std::u16string FoldCase(std::u16string_view text);

// True when `text` contains `foldedNeedle` (already folded with FoldCase),
// ignoring case. An empty needle is found in every text.
bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle);

}  // namespace tarvenix
