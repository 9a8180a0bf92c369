// A table as text for the clipboard: tab-separated cells, one line per row,
// the form spreadsheets and editors take when it is pasted. Portable.
#pragma once

#include <string>
#include <vector>

namespace tarvenix {

// The header line (none when the header has no cells), then a line for each
// row; cells joined with TAB, every line ended with CR LF. A TAB, CR or LF in
// a cell becomes a space, so that a cell never splits a row or a line.
std::u16string TabSeparatedText(const std::vector<std::u16string>& header,
                                const std::vector<std::vector<std::u16string>>& rows);

}  // namespace tarvenix
