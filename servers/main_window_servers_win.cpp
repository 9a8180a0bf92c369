// The server box: its keys and completion, the settings files, and the server
// list from a text file.
#include "app/main_window.h"

#include <commctrl.h>

#include "app/app_error.h"
#include "app/win_text.h"
#include "servers/history_codec.h"
#include "servers/settings_file_win.h"
#include "servers/text_files_win.h"

namespace tarvenix {

namespace {

constexpr char16_t kSettingsFile[] = u"settings.ini";
constexpr char16_t kHistoryFile[] = u"serverslist.txt";
constexpr char16_t kTextSourceTitle[] = u"Получить список серверов из текстового файла";
constexpr char16_t kTextSourceFilter[] = u"TXT (текстовый файл) (*.txt)|*.txt";
constexpr char16_t kDone[] = u"Готово!";

std::u16string Upper(std::u16string text) {
    if (!text.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(text.data()), static_cast<DWORD>(text.size()));
    return text;
}

std::u16string CurrentDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return {};
    std::wstring buffer(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, buffer.data());
    return got > 0 && got < n ? U16(buffer.c_str(), got) : std::u16string();
}

// The box's completion after a typed character: when the caret stands at the
// end of the text, the first entry that begins with the text (case ignored)
// replaces it, the completed part selected, and becomes the current entry.
void CompleteServerBox(HWND combo, HWND edit) {
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const std::u16string text = GetText(edit);
    if (text.empty() || selStart != selEnd || selEnd != text.size()) return;
    const std::u16string typed = Upper(text);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len == CB_ERR || static_cast<std::size_t>(len) < text.size()) continue;
        std::wstring entry(static_cast<std::size_t>(len) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        const std::u16string item = U16(entry.c_str(), static_cast<std::size_t>(len));
        if (Upper(item.substr(0, text.size())) != typed) continue;
        // Selecting the entry puts its text into the edit field.
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(text.size()), static_cast<LPARAM>(item.size()));
        return;
    }
}

}  // namespace

void MainWindow::InstallServerBoxHooks() {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(c.edit1, &info) && info.hwndItem)
        SetWindowSubclass(info.hwndItem, &MainWindow::EditSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK MainWindow::EditSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindow*>(data);
    switch (msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:  // with Alt held
            // Not consumed: the key reaches the edit field afterwards.
            self->RunHandler([&] { self->Edit1KeyDown(wp); });
            break;
        case WM_CHAR: {
            if (wp == L'\r' || wp == L'\n') return 0;  // Enter and Ctrl+Enter: no beep
            const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
            // Printable characters only: Backspace and control characters do not complete.
            if (wp >= 0x20 && wp != 0x7F) CompleteServerBox(self->c.edit1, hwnd);
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &MainWindow::EditSubclassProc, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

void MainWindow::Edit1KeyDown(WPARAM key) {
    if (key == VK_RETURN) {
        Button1Click();
    } else if (key == VK_DELETE) {
        const LRESULT current = SendMessageW(c.edit1, CB_GETCURSEL, 0, 0);
        if (current != CB_ERR) SendMessageW(c.edit1, CB_DELETESTRING, static_cast<WPARAM>(current), 0);
    }
}

void MainWindow::RestoreServerBox() {
    const std::u16string settings = services_.appDirectory + kSettingsFile;
    SetServerText(ReadServerName(settings));
    try {
        const LoadedHistory loaded = ReadHistoryFile(services_.appDirectory + kHistoryFile, *services_.ansi, services_.errors);
        SetHistory(loaded.entries);
        historyEncoding = loaded.encoding;
    } catch (const std::exception&) {
        // A missing or unreadable history leaves the history empty, without a message.
    }
    FlushSettings(settings);
}

void MainWindow::SaveServerBox() {
    const std::u16string settings = services_.appDirectory + kSettingsFile;
    if (!WriteServerName(settings, ServerText(), *services_.ansi)) throw AppError(UnableToWriteText(settings));
    WriteHistoryFile(services_.appDirectory + kHistoryFile, History(), historyEncoding, *services_.ansi, services_.errors);
    FlushSettings(settings);
}

void MainWindow::sSpeedButtonTXTClick() {
    Dialogs::OpenFileRequest request;
    request.title = kTextSourceTitle;
    request.initialDirectory = CurrentDirectory();
    request.filter = kTextSourceFilter;
    request.defaultExtension = u"txt";
    request.filterIndex = 1;
    const std::optional<std::u16string> path = services_.dialogs->OpenFile(request);
    if (!path) return;
    const LoadedHistory loaded = ReadHistoryFile(*path, *services_.ansi, services_.errors);
    SetHistory(loaded.entries);
    historyEncoding = loaded.encoding;
    SetServerText(FirstHistoryEntry());
    services_.dialogs->ShowMessage(kDone);
}

}  // namespace tarvenix
