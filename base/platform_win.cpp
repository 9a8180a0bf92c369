#include "base/platform_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <wincred.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "base/handles_win.h"
#include "base/win_text.h"

namespace tarvenix {
namespace {

const wchar_t* Title() { return reinterpret_cast<const wchar_t*>(kApplicationTitle); }

// Every box of the program gets its button captions from here, not from the
// system's language; the confirmation's OK button reads "&Yes" and the
// confirmation is centred on the screen. One box at a time per thread.
struct BoxStyle {
    bool confirmation = false;
    const wchar_t* okText = nullptr;  // a command of its own on the OK button, widened to fit
};
thread_local BoxStyle t_boxStyle;
thread_local HookHandle t_boxHook;

// The OK button made wide enough for its text; the Cancel button moves right,
// and the box grows (keeping its margin) when they no longer fit. Done once
// the box has laid itself out: posted from its activation.
void WidenOkButton(HWND box, const wchar_t* text) {
    HWND ok = GetDlgItem(box, IDOK), cancel = GetDlgItem(box, IDCANCEL);
    if (!ok || !text) return;
    const auto childRect = [box](HWND child) {
        RECT rc{};
        GetWindowRect(child, &rc);
        MapWindowPoints(HWND_DESKTOP, box, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    const RECT okRect = childRect(ok);
    RECT cancelRect = cancel ? childRect(cancel) : okRect;
    RECT client;
    GetClientRect(box, &client);
    SIZE extent{};
    if (HDC dc = GetDC(ok)) {
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(ok, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &extent);
        SelectObject(dc, old);
        ReleaseDC(ok, dc);
    }
    const int okWidth = okRect.right - okRect.left, height = okRect.bottom - okRect.top;
    const int wanted = extent.cx + height;  // room of half a button's height on either side
    if (wanted <= okWidth) return;
    const int grow = wanted - okWidth;
    const int margin = client.right - cancelRect.right > 0 ? client.right - cancelRect.right : height / 2;
    SetWindowPos(ok, nullptr, okRect.left, okRect.top, wanted, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (cancel) {
        OffsetRect(&cancelRect, grow, 0);
        SetWindowPos(cancel, nullptr, cancelRect.left, cancelRect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        cancelRect.right = okRect.left + wanted;
    }
    if (cancelRect.right + margin > client.right) {
        RECT frame;
        GetWindowRect(box, &frame);
        const int more = cancelRect.right + margin - client.right;
        SetWindowPos(box, nullptr, frame.left - more / 2, frame.top, frame.right - frame.left + more,
                     frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

constexpr UINT kWidenButton = WM_APP + 0x57;

LRESULT CALLBACK WidenSubclassProc(HWND box, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR text) {
    if (msg == kWidenButton) {
        WidenOkButton(box, reinterpret_cast<const wchar_t*>(text));
        return 0;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(box, WidenSubclassProc, id);
    return DefSubclassProc(box, msg, wp, lp);
}

LRESULT CALLBACK BoxHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wp);
        SetDlgItemTextW(box, IDOK, t_boxStyle.okText ? t_boxStyle.okText : t_boxStyle.confirmation ? L"&Yes" : L"OK");
        SetDlgItemTextW(box, IDCANCEL, L"Cancel");
        if (t_boxStyle.okText && SetWindowSubclass(box, WidenSubclassProc, 1, reinterpret_cast<DWORD_PTR>(t_boxStyle.okText)))
            PostMessageW(box, kWidenButton, 0, 0);
        if (t_boxStyle.confirmation) {
            RECT rc;
            GetWindowRect(box, &rc);
            const int w = rc.right - rc.left, h = rc.bottom - rc.top;
            SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0,
                         0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        // The box is set up: later windows (another box from a handler it
        // triggers) get their own hook.
        t_boxHook.Reset();
        return 0;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

int ShowBox(WindowRef owner, const std::u16string& text, UINT type, bool confirmation,
            const wchar_t* okText = nullptr) {
    t_boxStyle.confirmation = confirmation;
    t_boxStyle.okText = okText;
    t_boxHook.Reset(SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId()));
    const int answer = MessageBoxW(ToHwnd(owner), Wz(text), Title(), type);
    t_boxHook.Reset();
    return answer;
}

}  // namespace

void WinDialogs::ShowMessage(WindowRef owner, const std::u16string& text) { ShowBox(owner, text, MB_OK, false); }

bool WinDialogs::Confirm(WindowRef owner, const std::u16string& text) {
    return ShowBox(owner, text, MB_OKCANCEL | MB_DEFBUTTON1, true) == IDOK;
}

void WinDialogs::ShowError(WindowRef owner, const std::u16string& text) {
    ShowBox(owner, text, MB_OK | MB_ICONERROR, false);
}

bool WinDialogs::OfferSignIn(WindowRef owner, const std::u16string& report) {
    return ShowBox(owner, report, MB_OKCANCEL | MB_DEFBUTTON1, false, L"Войти как другой пользователь\u2026") == IDOK;
}

std::optional<EnteredCredential> WinDialogs::AskCredentials(WindowRef owner, const CredentialRequest& request) {
    // The system's prompt, with its save check box; the program keeps what
    // is remembered itself (CREDUI_FLAGS_DO_NOT_PERSIST).
    std::wstring message = W(request.message), caption = W(request.caption), target = W(request.server);
    CREDUI_INFOW info{sizeof(info), ToHwnd(owner), message.c_str(), caption.c_str(), nullptr};
    wchar_t user[CREDUI_MAX_USERNAME_LENGTH + 1] = {};
    wchar_t password[CREDUI_MAX_PASSWORD_LENGTH + 1] = {};
    const std::wstring account = W(request.account);
    account.copy(user, std::min<std::size_t>(account.size(), CREDUI_MAX_USERNAME_LENGTH));
    BOOL save = FALSE;
    DWORD flags = CREDUI_FLAGS_GENERIC_CREDENTIALS | CREDUI_FLAGS_DO_NOT_PERSIST | CREDUI_FLAGS_ALWAYS_SHOW_UI |
                  CREDUI_FLAGS_SHOW_SAVE_CHECK_BOX;
    if (request.error != 0) flags |= CREDUI_FLAGS_INCORRECT_PASSWORD;
    const DWORD result = CredUIPromptForCredentialsW(&info, target.c_str(), nullptr, request.error, user,
                                                     CREDUI_MAX_USERNAME_LENGTH + 1, password,
                                                     CREDUI_MAX_PASSWORD_LENGTH + 1, &save, flags);
    std::optional<EnteredCredential> entered;
    if (result == NO_ERROR) {
        entered.emplace();
        entered->credential.account = U16(user);
        entered->credential.password = Secret(reinterpret_cast<const char16_t*>(password), wcslen(password));
        entered->remember = save != FALSE;
    } else if (result != ERROR_CANCELLED) {
        ShowBox(owner, SystemErrorReport(u"Не удалось запросить учётные данные.", result, request.describe), MB_OK, false);
    }
    WipeMemory(password, sizeof password);
    return entered;
}

namespace {

// The open and save dialogs share their set-up.
std::optional<std::u16string> FileDialog(WindowRef owner, const Dialogs::OpenFileRequest& request, bool save) {
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
    ofn.hwndOwner = ToHwnd(owner);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : 0);
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return std::nullopt;
    return U16(file.c_str());
}

}  // namespace

std::optional<std::u16string> WinDialogs::OpenFile(WindowRef owner, const OpenFileRequest& request) {
    return FileDialog(owner, request, false);
}

std::optional<std::u16string> WinDialogs::SaveFile(WindowRef owner, const OpenFileRequest& request) {
    return FileDialog(owner, request, true);
}

char16_t ListSeparator() {
    wchar_t buffer[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SLIST, buffer, 8) > 1 && buffer[0] != L'"' &&
        buffer[0] != L'\r' && buffer[0] != L'\n')
        return static_cast<char16_t>(buffer[0]);
    return u';';
}

bool PutTextOnClipboard(HWND owner, const std::u16string& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) GlobalFree(memory);  // the clipboard owns it only once placed
    return placed;
}

std::uint32_t WinShell::Execute(WindowRef owner, const std::u16string& file, const std::u16string& parameters, int showCommand) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = ToHwnd(owner);
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
