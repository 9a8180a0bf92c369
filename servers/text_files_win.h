// The server lists on disk: serverslist.txt and the lists the user picks, with
// the errors the default error box shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/ansi_code_page.h"
#include "base/services.h"
#include "servers/history_codec.h"

namespace tarvenix {

// Loads a server list: the file is read while others may read but not write
// it, then decoded by its byte-order mark. Throws AppError "Cannot open
// file ..." when it cannot be opened or read.
LoadedHistory ReadHistoryFile(const std::u16string& path, const AnsiCodePage& ansi, ErrorTexts* errors);

// Writes the history to the file atomically in the history's encoding, never
// losing text (see history_codec.h); returns the encoding the file was
// written in. Throws AppError "Cannot create file ..." when the file cannot
// be made or replaced, "Unable to write to PATH" when writing it fails; the
// file then keeps what it held.
TextEncoding WriteHistoryFile(const std::u16string& path, const std::vector<std::u16string>& entries,
                              std::optional<TextEncoding> encoding, const AnsiCodePage& ansi, ErrorTexts* errors);

}  // namespace tarvenix
