#include "base/ansi_code_page_win.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace tarvenix {

namespace {

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for the ANSI code page conversion");
    return static_cast<int>(size);
}

}  // namespace

std::string SystemAnsiCodePage::Encode(std::u16string_view text, bool* lossless) const {
    if (text.empty()) {
        if (lossless) *lossless = true;
        return {};
    }
    const int length = CheckedLength(text.size());
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    // With UTF-8 as the ANSI code page the conversion takes neither flags nor
    // the default-character report; the round trip below still decides.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;

    const int needed = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0) throw std::runtime_error("WideCharToMultiByte failed");
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    usedDefault = FALSE;
    const int written = WideCharToMultiByte(CP_ACP, flags, wide, length, bytes.data(), needed, nullptr, usedDefaultOut);
    if (written <= 0) throw std::runtime_error("WideCharToMultiByte failed");
    bytes.resize(static_cast<std::size_t>(written));

    if (lossless) *lossless = !usedDefault && Decode(bytes) == text;
    return bytes;
}

std::u16string SystemAnsiCodePage::Decode(std::string_view bytes) const {
    if (bytes.empty()) return {};
    const int length = CheckedLength(bytes.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) throw std::runtime_error("MultiByteToWideChar failed");
    std::u16string text(static_cast<std::size_t>(needed), u'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
    if (written <= 0) throw std::runtime_error("MultiByteToWideChar failed");
    text.resize(static_cast<std::size_t>(written));
    return text;
}

}  // namespace tarvenix
