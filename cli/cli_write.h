// What tarvenix-cli does when its output cannot be written, and the bytes of
// the file that --output writes. Portable.
//
// A reader that went away (a pipe into "head" or "findstr" that closed its
// end) is no fault of the command: the rest of the output is dropped without
// a word and the exit code stays what the command made it. Any other failure
// (a full disk, a file the system refuses to extend) leaves a truncated
// output, so it is said on the error stream and the exit code becomes 1.
#pragma once

#include <cstdint>
#include <string>

#include "base/error_text.h"
#include "cli/cli_request.h"

namespace tarvenix {

inline constexpr std::uint32_t kErrorBrokenPipe = 109;  // ERROR_BROKEN_PIPE: the reader closed the pipe
inline constexpr std::uint32_t kErrorNoData = 232;      // ERROR_NO_DATA: the pipe is being closed

// True when a failed write with this system error code goes unreported.
bool ReaderWentAway(std::uint32_t error);

// "Не удалось записать вывод: <system text> (<code>)".
std::u16string OutputWriteFailureText(std::uint32_t error, const DescribeError& describe);

// The exit code of a command that would exit with `exitCode`, once its output
// is written (writeError: the first failed write's code, 0 when none failed):
// 1 instead of 0 when the output was not written in full, unless the reader
// went away; a failure the command already has keeps its code.
int ExitCodeAfterOutput(int exitCode, std::uint32_t writeError);

// The file --output writes: UTF-8 whatever the console's code page, so that
// a script reads it the same everywhere. CSV and the table start with the
// UTF-8 mark (spreadsheets, Notepad and PowerShell then read the Cyrillic
// right); JSON has none, as JSON readers expect.
std::string OutputFileBytes(const std::u16string& text, OutputFormat format);

// "Не удалось записать файл "PATH": <system text> (<code>)". A file that could
// not be written leaves the exit code 1 (or what the command already has):
// the target then keeps its old bytes, if it had any.
std::u16string OutputFileFailureText(const std::u16string& path, std::uint32_t error, const DescribeError& describe);

}  // namespace tarvenix
