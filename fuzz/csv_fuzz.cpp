// The CSV export and its reader: cells made from the input (any text the
// list can hold) are written and read back exactly, with each separator the
// export may use; and whatever the reader accepts, written again, reads back
// the same.
//
// Input: the first byte picks the separator (its two low bits) and whether the
// file is written for a spreadsheet (the next bit: cells that start like a
// formula then read back with a leading "'"); the rest is little-endian
// UTF-16 with U+0001 between cells and U+0002 between rows.
#include "base/csv.h"
#include "base/text.h"
#include "fuzz/fuzz_input.h"

using namespace tarvenix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    static constexpr char16_t kSeparators[] = {u';', u',', u'\t', u'|'};
    const std::uint8_t first = in.Byte();
    const char16_t separator = kSeparators[first % 4];
    const bool spreadsheet = (first & 4) != 0;
    const std::string_view rest = in.Rest();

    // Cells in, the same cells out. (UTF-8 cannot carry an unpaired surrogate:
    // the list never holds one after the text has been through the system.)
    const std::u16string text = fuzz::WithoutUnpairedSurrogates(fuzz::Units(rest));
    std::vector<std::vector<std::u16string>> rows;
    for (const std::u16string& line : fuzz::Split(text, u'\x02')) rows.push_back(fuzz::Split(line, u'\x01'));
    const std::string file = spreadsheet ? CsvFileForSpreadsheet(rows, separator) : CsvFile(rows, separator);
    FUZZ_CHECK(file.rfind("\xEF\xBB\xBF", 0) == 0);
    const auto back = ReadCsv(file, separator);
    FUZZ_CHECK(back.has_value());
    if (spreadsheet) {
        // What the file holds: no cell starts like a formula, and each is the
        // cell as it was or "'" before it.
        static constexpr std::u16string_view kFormulaStarts = u"=+-@\t\r";
        for (auto& row : rows)
            for (auto& cell : row) {
                const std::u16string safe = SpreadsheetSafeCell(cell);
                FUZZ_CHECK(safe.empty() || kFormulaStarts.find(safe[0]) == std::u16string_view::npos);
                FUZZ_CHECK(safe == cell || safe == u"'" + cell);
                cell = safe;
            }
    }
    FUZZ_CHECK(*back == rows);

    // Any bytes: the reader either refuses them or gives rows that survive
    // being written and read again.
    const auto read = ReadCsv(rest, separator);
    if (read) {
        const auto again = ReadCsv(CsvFile(*read, separator), separator);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *read);
    }
    return 0;
}
