// Reads what tarvenix-cli printed back, for the end-to-end scenario: a JSON
// array with nlohmann-json, or CSV with the program's own reader; prints one
// line per object or row, fields joined with " | ", so that a script can
// compare them.
//   cli_output_check json FILE KEY...
//   cli_output_check csv FILE SEPARATOR
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "base/csv.h"
#include "base/text.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: cli_output_check json FILE KEY... | csv FILE SEPARATOR\n";
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string kind = argv[1];
    if (kind == "json") {
        const auto json = nlohmann::json::parse(bytes, nullptr, false);
        if (json.is_discarded() || !json.is_array()) {
            std::cerr << "not a JSON array\n";
            return 1;
        }
        for (const auto& object : json) {
            std::string line;
            for (int k = 3; k < argc; ++k) {
                if (k > 3) line += " | ";
                const auto& v = object.at(argv[k]);
                line += v.is_string() ? v.get<std::string>() : v.dump();
            }
            std::cout << line << "\n";
        }
        return 0;
    }
    const std::u16string separator = tarvenix::Utf8ToUtf16(argv[3]);
    const auto rows = tarvenix::ReadCsv(bytes, separator.empty() ? u';' : separator[0]);
    if (!rows) {
        std::cerr << "not CSV the reader accepts\n";
        return 1;
    }
    for (const auto& row : *rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) line += (i ? " | " : "") + tarvenix::Utf16ToUtf8(row[i]);
        std::cout << line << "\n";
    }
    return 0;
}
