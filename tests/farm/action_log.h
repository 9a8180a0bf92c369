// The action log of the wtsapi32 double: one line per call, tab-separated
// key=value fields after the function name (format: tests/farm/README.md).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace farm {

// A text as it appears in a log value: UTF-8 with \\ \t \r \n escaped, other
// control characters as \xHH, unpaired surrogates as \uHHHH. A NULL pointer
// is the value \0 (no real text can produce it).
std::string EscapeText(const wchar_t* text, std::size_t length);
std::string EscapeText(const wchar_t* text);

class LogLine {
public:
    explicit LogLine(const char* function) : line_(function) {}
    LogLine& Field(const char* key, const std::string& rawValue);
    LogLine& Text(const char* key, const wchar_t* text);  // NUL-terminated or NULL
    LogLine& Text(const char* key, const std::wstring& text);
    LogLine& Number(const char* key, std::uint64_t value);
    LogLine& Hex(const char* key, std::uint64_t value);  // 0x1A2B
    const std::string& Str() const { return line_; }

private:
    std::string line_;
};

class ActionLog {
public:
    ActionLog() = default;
    ActionLog(const ActionLog&) = delete;
    ActionLog& operator=(const ActionLog&) = delete;
    ~ActionLog() { Close(); }

    // Creates (truncates) the file; other processes may read it meanwhile.
    bool Open(const std::wstring& path);
    void Close();
    // Writes the line and its LF straight to the file (no buffering here).
    void Write(const LogLine& line);

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace farm
