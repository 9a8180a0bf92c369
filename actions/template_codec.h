// The byte layout of the message template file (message.txt): the subject on
// the first line, the message text after it. Portable.
//
// Writing: subject, CR LF, then the text exactly as the text box holds it
// (CR LF between its lines, nothing added after the last one). The bytes are
// in the ANSI code page, without a mark, whenever that reads back as exactly
// the same subject and text; otherwise the same layout is written as UTF-8
// after the mark EF BB BF. ANSI is not enough when a character is missing
// from the code page, or when the text holds something the ANSI reading below
// treats as layout: U+001A (end-of-file mark), a CR not followed by LF, an LF
// not preceded by CR, or a CR in the subject; nor when the ANSI bytes would
// begin with EF BB BF.
//
// Reading a file that starts with EF BB BF (UTF-8): the subject is everything
// before the first LF (a CR directly before that LF belongs to the break), the
// text is everything after that LF, unchanged. U+001A has no meaning there.
// A file that holds only the mark reads like an empty file.
//
// Reading any other file (ANSI code page), line by line:
// - a line ends at LF; a CR directly before the LF belongs to the line break;
//   a CR not followed by LF is not a line break and is left out of the text;
// - the file ends when no byte is left, or at a byte 0x1A where a line would
//   begin; a 0x1A inside a line ends that line's text, the rest of the line up
//   to its break is skipped and reading goes on with the next line;
// - line 1 is the subject; every further line is appended to the text
//   followed by CR LF if the file has a line break after it: a file that ends
//   with a line break yields no extra empty line, and a last line without a
//   break comes back without one, so the text reads back as it was written;
// - lines are taken whole, whatever their length.
// hasSubject is false when the file has no line at all (zero bytes, or a 0x1A
// first): the caller then keeps the subject it has.
//
// So Save then Load gives back exactly the subject and the text, with two
// limits no plain-text layout can lift: the subject is one line (an LF in it
// splits it), and an unpaired surrogate code unit comes back as U+FFFD when
// the file has to be UTF-8.
#pragma once

#include "base/ansi_code_page.h"

#include <string>
#include <string_view>

namespace tarvenix {

struct MessageTemplate {
    std::u16string subject;
    std::u16string text;
};

struct LoadedTemplate {
    bool hasSubject = false;
    std::u16string subject;
    std::u16string text;
};

std::string EncodeTemplate(const std::u16string& subject, const std::u16string& text, const AnsiCodePage& ansi);

LoadedTemplate DecodeTemplate(std::string_view fileBytes, const AnsiCodePage& ansi);

}  // namespace tarvenix
