// box_text.exe: prints (UTF-8) the text of every dialog box of the session
// whose caption is the given one ("Tarvenix"), one box after another, each
// control's text on a line of its own; exit code 1 when there is none. For
// end-to-end scenarios, which cannot read a message box's text otherwise.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring TextOf(HWND window) {
    wchar_t buffer[4096] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

struct Search {
    std::wstring caption;
    std::vector<HWND> boxes;
};

BOOL CALLBACK OnTop(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(window) && TextOf(window) == search->caption)
        search->boxes.push_back(window);
    return TRUE;
}

BOOL CALLBACK OnChild(HWND child, LPARAM) {
    const std::string text = Utf8(TextOf(child));
    if (!text.empty()) std::printf("%s\n", text.c_str());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Search search{argc > 1 ? argv[1] : L"Tarvenix", {}};
    EnumWindows(OnTop, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.boxes) EnumChildWindows(box, OnChild, 0);
    std::fflush(stdout);
    return search.boxes.empty() ? 1 : 0;
}
