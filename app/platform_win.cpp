#include "app/platform_win.h"

#include <commdlg.h>
#include <shellapi.h>

#include "app/main_window.h"
#include "app/win_text.h"

namespace tarvenix {
namespace {

const wchar_t* Title() { return reinterpret_cast<const wchar_t*>(kApplicationTitle); }

// The confirmation question: a message box whose OK button reads "&Yes",
// centred on the screen.
HHOOK g_confirmHook = nullptr;

LRESULT CALLBACK ConfirmHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wp);
        SetDlgItemTextW(box, IDOK, L"&Yes");
        RECT rc;
        GetWindowRect(box, &rc);
        const int w = rc.right - rc.left, h = rc.bottom - rc.top;
        SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        UnhookWindowsHookEx(g_confirmHook);
        g_confirmHook = nullptr;
        return 0;
    }
    return CallNextHookEx(g_confirmHook, code, wp, lp);
}

}  // namespace

HWND WinDialogs::Owner() const {
    HWND active = GetActiveWindow();
    return active ? active : owner_;
}

void WinDialogs::ShowMessage(const std::u16string& text) { MessageBoxW(Owner(), Wz(text), Title(), MB_OK); }

bool WinDialogs::Confirm(const std::u16string& text) {
    g_confirmHook = SetWindowsHookExW(WH_CBT, ConfirmHook, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(Owner(), Wz(text), Title(), MB_OKCANCEL | MB_DEFBUTTON1);
    if (g_confirmHook) {
        UnhookWindowsHookEx(g_confirmHook);
        g_confirmHook = nullptr;
    }
    return answer == IDOK;
}

void WinDialogs::ShowError(const std::u16string& text) { MessageBoxW(Owner(), Wz(text), Title(), MB_OK | MB_ICONERROR); }

std::optional<std::u16string> WinDialogs::OpenFile(const OpenFileRequest& request) {
    // "Name|pattern|..." becomes the double-NUL-terminated filter list.
    std::wstring filter = W(request.filter);
    for (wchar_t& ch : filter)
        if (ch == L'|') ch = L'\0';
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    std::wstring title = W(request.title);
    std::wstring dir = W(request.initialDirectory);
    std::wstring ext = W(request.defaultExtension);
    std::wstring file(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = Owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return U16(file.c_str());
}

std::uint32_t WinShell::Execute(const std::u16string& file, const std::u16string& parameters, int showCommand) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = owner_;
    info.lpFile = Wz(file);
    info.lpParameters = parameters.empty() ? nullptr : Wz(parameters);
    info.nShow = showCommand;
    if (ShellExecuteExW(&info)) return 0;
    const DWORD e = GetLastError();
    return e != 0 ? e : ERROR_FILE_NOT_FOUND;
}

std::u16string WinErrorTexts::Describe(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::u16string text = n ? U16(buffer, n) : std::u16string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
    return text;
}

std::u16string ApplicationDirectory() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    const std::size_t slash = path.find_last_of(L"\\/");
    return U16(path.c_str(), slash == std::wstring::npos ? 0 : slash + 1);
}

}  // namespace tarvenix
