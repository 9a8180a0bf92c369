#include "base/csv.h"

#include "base/byte_order_mark.h"
#include "base/text.h"

namespace tarvenix {

namespace {

bool UsableSeparator(char16_t separator) {
    return separator != u'"' && separator != u'\r' && separator != u'\n';
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool NeedsQuotes(std::u16string_view field, char16_t separator) {
    if (field.empty()) return false;
    if (IsBlank(field.front()) || IsBlank(field.back())) return true;
    for (const char16_t c : field) {
        if (c == separator || c == u'"' || c == u'\r' || c == u'\n') return true;
    }
    return false;
}

bool StartsLikeFormula(std::u16string_view cell) {
    if (cell.empty()) return false;
    switch (cell.front()) {
        case u'=': case u'+': case u'-': case u'@': case u'\t': case u'\r': return true;
        default: return false;
    }
}

}  // namespace

std::u16string SpreadsheetSafeCell(std::u16string cell) {
    if (StartsLikeFormula(cell)) cell.insert(cell.begin(), u'\'');
    return cell;
}

std::u16string CsvLine(const std::vector<std::u16string>& fields, char16_t separator, CsvCells cells) {
    std::u16string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line.push_back(separator);
        std::u16string safe;
        if (cells == CsvCells::Spreadsheet && StartsLikeFormula(fields[i])) safe = SpreadsheetSafeCell(fields[i]);
        const std::u16string& field = safe.empty() ? fields[i] : safe;
        if (!NeedsQuotes(field, separator)) {
            line += field;
            continue;
        }
        line.push_back(u'"');
        for (const char16_t c : field) {
            if (c == u'"') line.push_back(u'"');
            line.push_back(c);
        }
        line.push_back(u'"');
    }
    line += u"\r\n";
    return line;
}

std::string CsvFile(const std::vector<std::vector<std::u16string>>& rows, char16_t separator, CsvCells cells) {
    std::string file(ByteOrderMark(TextEncoding::Utf8));
    for (const auto& row : rows) file += Utf16ToUtf8(CsvLine(row, separator, cells));
    return file;
}

std::string CsvFileForSpreadsheet(const std::vector<std::vector<std::u16string>>& rows, char16_t separator) {
    return CsvFile(rows, separator, CsvCells::Spreadsheet);
}

std::optional<std::vector<std::vector<std::u16string>>> ReadCsv(std::string_view utf8Bytes, char16_t separator) {
    if (!UsableSeparator(separator)) return std::nullopt;
    const std::string_view mark = ByteOrderMark(TextEncoding::Utf8);
    if (utf8Bytes.substr(0, mark.size()) == mark) utf8Bytes.remove_prefix(mark.size());
    const std::u16string text = Utf8ToUtf16(utf8Bytes);

    std::vector<std::vector<std::u16string>> rows;
    std::vector<std::u16string> row;
    std::size_t i = 0;
    const std::size_t n = text.size();
    // Each pass reads one field and what ends it: a separator, a line end or
    // the end of the text.
    while (i < n) {
        std::u16string field;
        if (text[i] == u'"') {
            ++i;
            for (;;) {
                if (i == n) return std::nullopt;  // unterminated quote
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field.push_back(u'"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.push_back(text[i++]);
            }
        } else {
            while (i < n && text[i] != separator && text[i] != u'\r' && text[i] != u'\n') {
                if (text[i] == u'"') return std::nullopt;
                field.push_back(text[i++]);
            }
        }
        row.push_back(std::move(field));

        if (i == n) break;
        if (text[i] == separator) {
            ++i;
            if (i == n) row.emplace_back();  // a separator at the very end opens an empty last field
            continue;
        }
        if (text[i] == u'\r') ++i;  // a line end is CR LF or LF; a lone CR is refused
        if (i == n || text[i] != u'\n') return std::nullopt;  // or text after a closing quote
        ++i;
        rows.push_back(std::move(row));
        row.clear();
    }
    if (!row.empty()) rows.push_back(std::move(row));
    return rows;
}

}  // namespace tarvenix
