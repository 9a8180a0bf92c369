// The program's one way to read and write its files: a whole-file read, and
// an atomic whole-file write that never leaves a truncated file behind (the
// bytes go to a temporary file beside the target, which is flushed and then
// put in the target's place; on any failure the target keeps its old bytes).
#pragma once

#include <windows.h>

#include <string>

#include "base/handles_win.h"
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

// A new, empty file beside `path` for a write of it to go through, named
// "<path>.<process>-<number>.tmp" and made with CREATE_NEW (another number is
// tried while the name is taken), so that no existing file is ever opened or
// overwritten. Returns the open file with its name in *temporary; on failure
// an empty handle, with the system error code in *error.
FileHandle CreateTemporaryBeside(const std::u16string& path, std::u16string* temporary, DWORD* error);

// Writes the bytes to the file atomically. On failure returns false, with the
// system error code in *error and the failed step in *step; the temporary file
// is removed and the target is as it was.
bool WriteFileAtomically(const std::u16string& path, const std::string& bytes, DWORD* error, WriteStep* step);

// Puts an already written temporary file in the target's place. An existing
// target is replaced with ReplaceFileW, so it keeps its attributes, its
// security and its creation time; a read-only target is refused (access
// denied), as the system refuses to replace it. A missing target is made by
// renaming the temporary file (written through). On failure the target is as
// it was and the temporary file is still there (the caller removes it).
bool ReplaceWithTemporary(const std::u16string& temporary, const std::u16string& path, DWORD* error);

// "Cannot open file "PATH". " and the system's description of the cause.
std::u16string CannotOpenFileText(const std::u16string& path, DWORD error, ErrorTexts* errors);
// "Cannot create file "PATH". " and the system's description of the cause.
std::u16string CannotCreateFileText(const std::u16string& path, DWORD error, ErrorTexts* errors);
// "Unable to write to PATH".
std::u16string UnableToWriteText(const std::u16string& path);

}  // namespace tarvenix
