// Comma-separated values as spreadsheet programs read and write them: quoting
// by RFC 4180, lines ended with CR LF, files in UTF-8 with a byte-order mark.
// The separator is a parameter (';' where the decimal mark is a comma); it
// cannot be a quote, CR or LF. Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix {

// What becomes of a cell that a spreadsheet would take for a formula (one
// starting with "=", "+", "-", "@", a tab or CR): Raw keeps it as it is (the
// clipboard, the command line); Spreadsheet puts a "'" before it, so that a
// spreadsheet opening the file shows the text instead of running it.
enum class CsvCells { Raw, Spreadsheet };

// The cell as a spreadsheet should get it: "'" before a cell that starts like
// a formula, any other cell unchanged.
std::u16string SpreadsheetSafeCell(std::u16string cell);

// One line, CR LF included. A field is quoted when it holds the separator, a
// quote, CR or LF, or starts or ends with a space or a tab; quotes inside are
// doubled. No fields give an empty line, which reads back as one empty field.
std::u16string CsvLine(const std::vector<std::u16string>& fields, char16_t separator, CsvCells cells = CsvCells::Raw);

// The lines of all rows as UTF-8 bytes after the UTF-8 byte-order mark.
std::string CsvFile(const std::vector<std::vector<std::u16string>>& rows, char16_t separator,
                    CsvCells cells = CsvCells::Raw);

// CsvFile for a file a spreadsheet will open (the window's export): cells that
// start like a formula get a leading "'".
std::string CsvFileForSpreadsheet(const std::vector<std::vector<std::u16string>>& rows, char16_t separator);

// The rows of a file: a UTF-8 byte-order mark is skipped; lines end with
// CR LF or LF, the last one may end without; quoted fields may hold the
// separator, doubled quotes and line breaks. An empty line is a row of one
// empty field; an empty file has no rows. Nothing for malformed input: an
// unterminated quote, a quote inside an unquoted field, anything but a
// separator or a line end after a closing quote, a CR without LF outside
// quotes, or a separator that cannot be one.
std::optional<std::vector<std::vector<std::u16string>>> ReadCsv(std::string_view utf8Bytes, char16_t separator);

}  // namespace tarvenix
