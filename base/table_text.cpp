#include "base/table_text.h"

namespace tarvenix {

namespace {

void AppendLine(std::u16string& text, const std::vector<std::u16string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) text.push_back(u'\t');
        for (const char16_t c : cells[i]) {
            text.push_back(c == u'\t' || c == u'\r' || c == u'\n' ? u' ' : c);
        }
    }
    text += u"\r\n";
}

}  // namespace

std::u16string TabSeparatedText(const std::vector<std::u16string>& header,
                                const std::vector<std::vector<std::u16string>>& rows) {
    std::u16string text;
    if (!header.empty()) AppendLine(text, header);
    for (const auto& row : rows) AppendLine(text, row);
    return text;
}

}  // namespace tarvenix
