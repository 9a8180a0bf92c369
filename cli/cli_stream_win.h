// Standard output or error of tarvenix-cli: a console gets UTF-16 through
// WriteConsoleW, a file or a pipe gets UTF-8. The first write that fails is
// remembered and nothing more is written (see cli/cli_write.h for what the
// program then does).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "cli/cli_request.h"

namespace tarvenix {

class CliStream {
public:
    // The stream on a handle (standard output, a file, a pipe); an absent
    // handle takes every write and keeps none.
    explicit CliStream(HANDLE handle);
    // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    static CliStream Standard(DWORD which) { return CliStream(GetStdHandle(which)); }

    void Write(const std::u16string& text);
    void Line(const std::u16string& text) { Write(text + u"\r\n"); }
    // The output of a command: CSV going to a file or a pipe starts with the
    // UTF-8 mark, as the window's export does (spreadsheets then read the
    // Cyrillic right); a console needs none.
    void Output(const std::u16string& text, OutputFormat format);

    bool Console() const { return console_; }
    // The system error code of the write that failed, 0 while none has.
    std::uint32_t Error() const { return error_; }

private:
    bool WriteToConsole(const std::u16string& text);
    bool WriteToFile(const std::string& bytes);

    HANDLE handle_;
    bool console_ = false;
    std::uint32_t error_ = 0;
};

}  // namespace tarvenix
