#include "action_log.h"

#include <cstdio>

#include "base/text.h"

namespace farm {
namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, value);
    out += buf;
}

}  // namespace

std::string EscapeText(const wchar_t* text, std::size_t length) {
    if (!text) return "\\0";
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t c = static_cast<std::uint16_t>(text[i]);
        switch (c) {
            case u'\\': out += "\\\\"; continue;
            case u'\t': out += "\\t"; continue;
            case u'\r': out += "\\r"; continue;
            case u'\n': out += "\\n"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, "\\x%02X", c);
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            tarvenix::AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint16_t>(text[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendEscape(out, "\\u%04X", c);
        } else {
            tarvenix::AppendUtf8(out, c);
        }
    }
    return out;
}

std::string EscapeText(const wchar_t* text) {
    return EscapeText(text, text ? wcslen(text) : 0);
}

LogLine& LogLine::Field(const char* key, const std::string& rawValue) {
    line_ += '\t';
    line_ += key;
    line_ += '=';
    line_ += rawValue;
    return *this;
}

LogLine& LogLine::Text(const char* key, const wchar_t* text) { return Field(key, EscapeText(text)); }

LogLine& LogLine::Text(const char* key, const std::wstring& text) {
    return Field(key, EscapeText(text.c_str(), text.size()));
}

LogLine& LogLine::Number(const char* key, std::uint64_t value) { return Field(key, std::to_string(value)); }

LogLine& LogLine::Hex(const char* key, std::uint64_t value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(value));
    return Field(key, buf);
}

bool ActionLog::Open(const std::wstring& path) {
    Close();
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ != INVALID_HANDLE_VALUE;
}

void ActionLog::Close() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

void ActionLog::Write(const LogLine& line) {
    if (file_ == INVALID_HANDLE_VALUE) return;
    std::string text = line.Str();
    text += '\n';
    DWORD written = 0;
    WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace farm
