// The text layout of settings.ini as the platform's private-profile services
// keep it. Portable.
//
// Those services write a value in UTF-16 only into a file that already is
// UTF-16 (it starts with the little-endian mark FF FE); any other file gets
// the value in the ANSI code page, and a character that code page lacks is
// lost. Before a value that ANSI cannot hold is written, the file is turned
// into UTF-16: its text (read as the services read it) is kept, section for
// section and key for key, only its bytes change.
#pragma once

#include "base/ansi_code_page.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvenix {

// True when the file bytes are UTF-16 little-endian with their mark.
bool IsUnicodeProfile(std::string_view fileBytes);

// The same text as UTF-16 little-endian with its mark, or nothing when the
// bytes are that already. A missing file is passed as empty bytes and gives
// the mark alone. Bytes with the UTF-8 mark are read as UTF-8, with the
// big-endian UTF-16 mark as big-endian UTF-16, anything else as ANSI.
std::optional<std::string> ProfileAsUnicode(std::string_view fileBytes, const AnsiCodePage& ansi);

}  // namespace tarvenix
