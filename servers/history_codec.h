// The byte layout of the server history file (serverslist.txt) and of server
// list files the user picks: one entry per line. Portable.
//
// Reading: the encoding comes from the byte-order mark, tested in the order
// UTF-8 (EF BB BF), UTF-16 little-endian (FF FE), UTF-16 big-endian (FE FF);
// without a mark the bytes are in the ANSI code page. A NUL character ends the
// text (for ANSI and UTF-8 the first 0 byte, for UTF-16 the first 0 code
// unit); an odd byte left at the end of UTF-16 is ignored; invalid UTF-8
// decodes to U+FFFD. Lines end at CR LF, a lone CR or a lone LF; a line break
// at the very end adds no empty entry, so an empty text gives no entries.
//
// Writing: the mark of the encoding (none for ANSI), then every entry followed
// by CR LF, the last one too. Writing in the ANSI code page (the history came
// from an ANSI file, or from no file at all) never loses text: when an entry
// holds a character the code page cannot represent, or when the ANSI bytes
// would begin like a byte-order mark and so read back as another encoding,
// the file is written as UTF-8 with its mark instead. Neither ANSI nor UTF-8
// can carry a surrogate code unit without its partner (a name typed or read
// from a UTF-16 file may hold one): when the history would be written in
// either of them and an entry holds an unpaired surrogate, the file is
// written as UTF-16 little-endian with its mark, which keeps every code unit.
// Entries never hold line breaks or NUL characters (they come from lines, or
// from names), so decoding the written bytes gives back exactly the entries.
#pragma once

#include "base/ansi_code_page.h"
#include "base/byte_order_mark.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix {

struct LoadedHistory {
    std::vector<std::u16string> entries;
    TextEncoding encoding = TextEncoding::Ansi;
};

LoadedHistory DecodeHistory(std::string_view fileBytes, const AnsiCodePage& ansi);

// Names piped in: as a file, except that bytes without a mark that are valid
// UTF-8 and not plain ASCII are UTF-8 (what most tools write to a pipe; ANSI
// Cyrillic text is practically never valid UTF-8).
LoadedHistory DecodePipedNames(std::string_view bytes, const AnsiCodePage& ansi);

// historyEncoding: the encoding the history was last loaded in, unset when it
// was never loaded from a file (then ANSI without a mark). *written receives
// the encoding the bytes are actually in.
std::string EncodeHistory(const std::vector<std::u16string>& entries, std::optional<TextEncoding> historyEncoding,
                          const AnsiCodePage& ansi, TextEncoding* written = nullptr);

}  // namespace tarvenix
