// The history written back to serverslist.txt, with the errors the default
// error box shows. (Server lists are read through server_sources_win.h.)
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/ansi_code_page.h"
#include "base/services.h"
#include "servers/history_codec.h"

namespace tarvenix {

// Writes the history to the file atomically in the history's encoding, never
// losing text (see history_codec.h); returns the encoding the file was
// written in. Throws AppError "Cannot create file ..." when the file cannot
// be made or replaced, "Unable to write to PATH" when writing it fails; the
// file then keeps what it held.
TextEncoding WriteHistoryFile(const std::u16string& path, const std::vector<std::u16string>& entries,
                              std::optional<TextEncoding> encoding, const AnsiCodePage& ansi, ErrorTexts* errors);

}  // namespace tarvenix
