#include "servers/server_box_win.h"

#include <commctrl.h>

#include "base/app_error.h"
#include "base/engine.h"
#include "base/files_win.h"
#include "base/platform_win.h"
#include "base/resource_ids.h"
#include "base/win_text.h"
#include "servers/directory.h"
#include "servers/history_codec.h"
#include "servers/server_sources_win.h"
#include "servers/settings_file_win.h"
#include "servers/text_files_win.h"

namespace tarvenix {

namespace {

constexpr char16_t kSettingsFile[] = u"settings.ini";
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
void CompleteServerBox(HWND comboHandle, HWND editHandle) {
    const ComboBoxRef combo(comboHandle);
    const EditRef edit(editHandle);
    const EditRef::Range selection = edit.Selection();
    const std::u16string text = GetText(editHandle);
    if (text.empty() || selection.from != selection.to || static_cast<std::size_t>(selection.to) != text.size()) return;
    const std::u16string typed = Upper(text);
    const int count = combo.Count();
    for (int i = 0; i < count; ++i) {
        const std::u16string item = combo.ItemText(i);
        if (item.size() < text.size() || Upper(item.substr(0, text.size())) != typed) continue;
        // Selecting the entry puts its text into the edit field.
        combo.Select(i);
        edit.Select(static_cast<int>(text.size()), static_cast<int>(item.size()));
        return;
    }
}

}  // namespace

ServerBox::ServerBox(const Services& services, ServerSource& directory, Activity& activity,
                     std::function<void()> onEnter)
    : services_(services), directory_(directory), activity_(activity), onEnter_(std::move(onEnter)) {}

void ServerBox::Create(HWND strip, const Fonts& fonts) {
    boxes_ = OwnedDialogs(services_.dialogs, ToRef(GetAncestor(strip, GA_ROOT)));
    label_ = CreateLabel(strip, 10, 23, u"Имя сервера:", fonts.normal());
    combo_ = CreateChild(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, {8, 43, 145, 200},
                         strip, kIdServerBox, fonts.normal());
    fromFileButton_ = CreateImageButton(strip, kCmdServersFromFile, 169, 31, 32, 34, IDB_TXT, 24, 30,
                                        u"Получить список серверов из текстового файла");
    fromDirectoryButton_ = CreateImageButton(strip, kCmdServersFromDirectory, 209, 31, 32, 34, IDB_LDAP, 24, 30,
                                             u"Получить список серверов из Active Directory");
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(combo_, &info) && info.hwndItem)
        SetWindowSubclass(info.hwndItem, &ServerBox::EditSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void ServerBox::OnCommand(int id) {
    if (id == kCmdServersFromFile) LoadFromFile();
    if (id == kCmdServersFromDirectory) LoadFromDirectory();
}

LRESULT CALLBACK ServerBox::EditSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<ServerBox*>(data);
    switch (msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:  // with Alt held
            // Not consumed: the key reaches the edit field afterwards.
            RunReportingErrors(self->boxes_, [&] { self->OnKeyDown(wp); });
            break;
        case WM_CHAR: {
            if (wp == L'\r' || wp == L'\n') return 0;  // Enter and Ctrl+Enter: no beep
            const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
            // Printable characters only: Backspace and control characters do not complete.
            if (wp >= 0x20 && wp != 0x7F) CompleteServerBox(self->combo_, hwnd);
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &ServerBox::EditSubclassProc, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

void ServerBox::OnKeyDown(WPARAM key) {
    if (key == VK_RETURN) {
        if (onEnter_) onEnter_();
    } else if (key == VK_DELETE) {
        const ComboBoxRef combo(combo_);
        const int current = combo.Selected();
        if (current >= 0) combo.Delete(current);
    }
}

std::u16string ServerBox::Text() const { return GetText(combo_); }

void ServerBox::SetText(const std::u16string& text) { SetWindowTextW(combo_, Wz(text)); }

std::vector<std::u16string> ServerBox::History() const { return ComboBoxRef(combo_).Items(); }

void ServerBox::SetHistory(const std::vector<std::u16string>& entries) {
    const std::u16string text = Text();
    const ComboBoxRef combo(combo_);
    combo.Clear();
    for (const std::u16string& e : entries) combo.Add(e);
    SetText(text);
}

void ServerBox::Clear() {
    ComboBoxRef(combo_).Clear();
    SetText(u"");
}

std::u16string ServerBox::FirstHistoryEntry() const {
    const std::vector<std::u16string> h = History();
    return h.empty() ? std::u16string() : h.front();
}

void ServerBox::Restore() {
    const std::u16string settings = services_.appDirectory + kSettingsFile;
    SetText(ReadServerName(settings));
    // A missing or unreadable history leaves the history empty, without a message.
    try {
        const ServerList history = HistoryServers(services_.appDirectory, *services_.ansi, services_.errors).Read();
        if (history.Complete()) {
            SetHistory(history.names);
            historyEncoding_ = history.encoding;
        }
    } catch (const std::exception&) {
        // (a text the code page cannot convert: as unreadable)
    }
    FlushSettings(settings);
}

void ServerBox::Save(const SettingValues& options) {
    const std::u16string settings = services_.appDirectory + kSettingsFile;
    if (!WriteServerName(settings, Text(), *services_.ansi, options)) throw AppError(UnableToWriteText(settings));
    WriteHistoryFile(services_.appDirectory + kHistoryFileName, History(), historyEncoding_, *services_.ansi, services_.errors);
    FlushSettings(settings);
}

void ServerBox::LoadFromFile() {
    Dialogs::OpenFileRequest request;
    request.title = kTextSourceTitle;
    request.initialDirectory = CurrentDirectory();
    request.filter = kTextSourceFilter;
    request.defaultExtension = u"txt";
    request.filterIndex = 1;
    const std::optional<std::u16string> path = boxes_.OpenFile(request);
    if (!path) return;
    const ServerList list = TextFileServers(*path, *services_.ansi, services_.errors).Read();
    if (!list.Complete()) throw AppError(list.failure);
    SetHistory(list.names);
    historyEncoding_ = list.encoding;
    SetText(FirstHistoryEntry());
    boxes_.ShowMessage(kDone);
}

KeyAnswer ServerBox::TranslateKey(const MSG& msg) {
    if ((msg.message == WM_KEYDOWN || msg.message == WM_CHAR) && msg.wParam == VK_RETURN && combo_ &&
        (msg.hwnd == combo_ || GetParent(msg.hwnd) == combo_))
        return {KeyAnswer::ToControl};
    return {};
}

void ServerBox::LoadFromDirectory() {
    if (busy_) return;  // the search going fills the box
    // Every press starts from an empty box, also when the query then fails.
    Clear();
    busy_ = true;
    activity_.Begin();
    ServerSource* directory = &directory_;
    RunAsync<ServerList>(
        *services_.executor, *services_.dispatcher, run_, std::nullopt, [directory] { return directory->Read(); },
        [this](ServerList list) {
            busy_ = false;
            activity_.End();
            if (!list.Complete()) {
                // The names read before the failure stay in the history,
                // unsorted; the box's text stays empty.
                SetHistory(list.names);
                boxes_.ShowMessage(list.failure);
                return;
            }
            SetHistory(list.names);
            SetText(FirstHistoryEntry());
            boxes_.ShowMessage(DirectoryDoneMessage(History().size()));
        });
}

}  // namespace tarvenix
