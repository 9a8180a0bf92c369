#include "cli/cli_stream_win.h"

#include <algorithm>

#include "base/text.h"

namespace tarvenix {

namespace {

// A write that reports success but moves nothing would loop for ever.
std::uint32_t FailedWriteError() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_WRITE_FAULT;
}

}  // namespace

CliStream::CliStream(HANDLE handle) : handle_(handle) {
    DWORD mode = 0;
    console_ = handle_ && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
}

void CliStream::Write(const std::u16string& text) {
    if (!handle_ || handle_ == INVALID_HANDLE_VALUE || text.empty() || error_ != 0) return;
    if (console_) {
        WriteToConsole(text);
        return;
    }
    WriteToFile(Utf16ToUtf8(text));
}

void CliStream::Output(const std::u16string& text, OutputFormat format) {
    Write(format == OutputFormat::Csv && !console_ ? u"\uFEFF" + text : text);
}

bool CliStream::WriteToConsole(const std::u16string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - at, 8192));
        DWORD written = 0;
        SetLastError(0);
        if (!WriteConsoleW(handle_, reinterpret_cast<const wchar_t*>(text.data() + at), chunk, &written, nullptr) ||
            written == 0) {
            error_ = FailedWriteError();
            return false;
        }
        at += written;
    }
    return true;
}

bool CliStream::WriteToFile(const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 20));
        DWORD written = 0;
        SetLastError(0);
        if (!WriteFile(handle_, bytes.data() + at, chunk, &written, nullptr) || written == 0) {
            error_ = FailedWriteError();
            return false;
        }
        at += written;
    }
    return true;
}

}  // namespace tarvenix
