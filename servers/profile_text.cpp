#include "servers/profile_text.h"

#include "app/text.h"

namespace tarvenix {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

}  // namespace

bool IsUnicodeProfile(std::string_view fileBytes) { return StartsWith(fileBytes, kUtf16LEMark); }

std::optional<std::string> ProfileAsUnicode(std::string_view fileBytes, const AnsiCodePage& ansi) {
    if (IsUnicodeProfile(fileBytes)) return std::nullopt;
    std::u16string text;
    if (StartsWith(fileBytes, kUtf8Mark)) {
        text = Utf8ToUtf16(fileBytes.substr(kUtf8Mark.size()));
    } else if (StartsWith(fileBytes, kUtf16BEMark)) {
        const std::string_view rest = fileBytes.substr(kUtf16BEMark.size());
        for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
            text.push_back(static_cast<char16_t>((static_cast<unsigned char>(rest[i]) << 8) |
                                                 static_cast<unsigned char>(rest[i + 1])));
    } else {
        text = ansi.Decode(fileBytes);
    }
    std::string out(kUtf16LEMark);
    out.reserve(out.size() + text.size() * 2);
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

}  // namespace tarvenix
