// Whole-file reads and writes of the server box's files, with the errors the
// default error box shows.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/ansi_code_page.h"
#include "app/services.h"
#include "servers/history_codec.h"

namespace tarvenix {

// Every byte of a file opened for reading with the given share mode. On
// failure returns false and *error holds the system error code.
bool ReadWholeFile(const std::u16string& path, DWORD shareMode, std::string* bytes, DWORD* error);
// Creates or truncates the file and writes the bytes. On failure returns
// false, *error holds the system error code and *created whether the file
// was opened (so the failure came from the write itself).
bool WriteWholeFile(const std::u16string& path, const std::string& bytes, DWORD* error, bool* created);

// "Cannot open file "PATH". " and the system's description of the cause.
std::u16string CannotOpenFileText(const std::u16string& path, DWORD error, ErrorTexts* errors);
// "Cannot create file "PATH". " and the system's description of the cause.
std::u16string CannotCreateFileText(const std::u16string& path, DWORD error, ErrorTexts* errors);
// "Unable to write to PATH".
std::u16string UnableToWriteText(const std::u16string& path);

// Loads a server list: the file is read while others may read but not write
// it, then decoded by its byte-order mark. Throws AppError "Cannot open
// file ..." when it cannot be opened or read.
LoadedHistory ReadHistoryFile(const std::u16string& path, const AnsiCodePage& ansi, ErrorTexts* errors);

// Writes the history to the file (created or truncated) in the history's
// encoding, never losing text (see history_codec.h); returns the encoding the
// file was written in. Throws AppError "Cannot create file ..." when the file
// cannot be created, "Unable to write to PATH" when writing into it fails.
TextEncoding WriteHistoryFile(const std::u16string& path, const std::vector<std::u16string>& entries,
                              std::optional<TextEncoding> encoding, const AnsiCodePage& ansi, ErrorTexts* errors);

}  // namespace tarvenix
