// The program's one way to read and write its files: a whole-file read, and
// an atomic whole-file write that never leaves a truncated file behind (the
// bytes go to a temporary file beside the target, which is flushed and then
// put in the target's place; on any failure the target keeps its old bytes).
#pragma once

#include <windows.h>

#include <string>

#include "base/services.h"

namespace tarvenix {

// Every byte of a file opened for reading with the given share mode. On
// failure returns false and *error holds the system error code.
bool ReadWholeFile(const std::u16string& path, DWORD shareMode, std::string* bytes, DWORD* error);

// Which step of a write failed.
enum class WriteStep {
    Create,   // the temporary file could not be made (the folder refuses it, the disk is full)
    Write,    // writing or flushing the bytes failed
    Replace,  // the target could not be replaced (in use, read-only, refused)
};

// The temporary file a write of `path` goes through.
std::u16string TemporaryPathFor(const std::u16string& path);

// Writes the bytes to the file atomically. On failure returns false, with the
// system error code in *error and the failed step in *step; the temporary file
// is removed and the target is as it was.
bool WriteFileAtomically(const std::u16string& path, const std::string& bytes, DWORD* error, WriteStep* step);

// Puts an already written temporary file in the target's place (replacing it).
bool ReplaceWithTemporary(const std::u16string& temporary, const std::u16string& path, DWORD* error);

// "Cannot open file "PATH". " and the system's description of the cause.
std::u16string CannotOpenFileText(const std::u16string& path, DWORD error, ErrorTexts* errors);
// "Cannot create file "PATH". " and the system's description of the cause.
std::u16string CannotCreateFileText(const std::u16string& path, DWORD error, ErrorTexts* errors);
// "Unable to write to PATH".
std::u16string UnableToWriteText(const std::u16string& path);

}  // namespace tarvenix
