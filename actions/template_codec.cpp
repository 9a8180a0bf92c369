#include "actions/template_codec.h"

#include "base/byte_order_mark.h"
#include "base/text.h"

namespace tarvenix {

namespace {

constexpr char16_t kEndOfFile = 0x1A;

LoadedTemplate ReadUtf8(std::string_view bytes) {
    LoadedTemplate result;
    const std::u16string content = Utf8ToUtf16(bytes);
    if (content.empty()) return result;
    result.hasSubject = true;
    const auto lf = content.find(u'\n');
    if (lf == std::u16string::npos) {
        result.subject = content;
        return result;
    }
    const std::size_t subjectEnd = (lf > 0 && content[lf - 1] == u'\r') ? lf - 1 : lf;
    result.subject = content.substr(0, subjectEnd);
    result.text = content.substr(lf + 1);
    return result;
}

// Bytes 0x0A, 0x0D and 0x1A are never part of a multi-byte character in an
// ANSI code page, so the lines can be found in the decoded text.
LoadedTemplate ReadAnsi(std::u16string_view content) {
    LoadedTemplate result;
    std::size_t pos = 0;
    while (pos < content.size() && content[pos] != kEndOfFile) {
        const auto lf = content.find(u'\n', pos);
        const bool hasBreak = lf != std::u16string_view::npos;
        std::size_t end = hasBreak ? lf : content.size();
        if (hasBreak && end > pos && content[end - 1] == u'\r') --end;
        std::u16string_view raw = content.substr(pos, end - pos);
        const auto eof = raw.find(kEndOfFile);
        if (eof != std::u16string_view::npos) raw = raw.substr(0, eof);

        std::u16string line;
        line.reserve(raw.size());
        for (const char16_t c : raw) {
            if (c != u'\r') line.push_back(c);
        }

        if (!result.hasSubject) {
            result.hasSubject = true;
            result.subject = std::move(line);
        } else {
            result.text += line;
            if (hasBreak) result.text += u"\r\n";
        }
        pos = hasBreak ? lf + 1 : content.size();
    }
    return result;
}

}  // namespace

std::string EncodeTemplate(const std::u16string& subject, const std::u16string& text, const AnsiCodePage& ansi) {
    const std::u16string content = subject + u"\r\n" + text;
    bool lossless = true;
    std::string bytes = ansi.Encode(content, &lossless);
    if (lossless) {
        const LoadedTemplate back = DecodeTemplate(bytes, ansi);
        if (back.hasSubject && back.subject == subject && back.text == text) return bytes;
    }
    return std::string(ByteOrderMark(TextEncoding::Utf8)) + Utf16ToUtf8(content);
}

LoadedTemplate DecodeTemplate(std::string_view fileBytes, const AnsiCodePage& ansi) {
    if (const MarkedBytes marked = SplitByteOrderMark(fileBytes); marked.encoding == TextEncoding::Utf8)
        return ReadUtf8(marked.body);
    return ReadAnsi(ansi.Decode(fileBytes));
}

}  // namespace tarvenix
