// The server box of the main window: the editable combo box whose items are
// the server history, with completion and its keys; the two buttons that
// fill the history from a text file or from the directory; and the files
// that keep the box across runs (settings.ini, serverslist.txt).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_order_mark.h"
#include "base/controls_win.h"
#include "base/engine.h"
#include "base/services.h"
#include "base/window_win.h"
#include "servers/server_source.h"
#include "servers/settings_file_win.h"

namespace tarvenix {

enum ServerBoxId : int {
    kIdServerBox = command_ranges::kServerBox.first,
    kCmdServersFromFile,
    kCmdServersFromDirectory,
};
static_assert(FitsIn(command_ranges::kServerBox, kCmdServersFromDirectory));

class ServerBox final : public CommandTarget {
public:
    // directory: where the directory button takes the names from (read on a
    // worker). onEnter: what Enter in the box runs (Get data).
    ServerBox(const Services& services, ServerSource& directory, Activity& activity, std::function<void()> onEnter);
    ~ServerBox() override { run_.Cancel(); }

    // The label, the box and the two buttons, in the server strip.
    void Create(HWND strip, const Fonts& fonts);

    HWND Combo() const { return combo_; }
    HWND Label() const { return label_; }
    HWND FromFileButton() const { return fromFileButton_; }
    HWND FromDirectoryButton() const { return fromDirectoryButton_; }

    // The box's text (the server name) and its history (the items).
    std::u16string Text() const;
    void SetText(const std::u16string& text);
    std::vector<std::u16string> History() const;
    void SetHistory(const std::vector<std::u16string>& entries);
    void Clear();
    std::u16string FirstHistoryEntry() const;
    // HistoryEncoding: the encoding of the file the history was last loaded from.
    std::optional<TextEncoding> HistoryEncoding() const { return historyEncoding_; }

    // The text from settings.ini and the history from serverslist.txt (FormShow).
    void Restore();
    // Both files written back (FormClose); throws AppError when one cannot be
    // written, and then each file keeps what it held.
    void Save(const SettingValues& options = {});

    void OnKeyDown(WPARAM key);
    void LoadFromFile();
    void LoadFromDirectory();

    CommandRange Commands() const override { return command_ranges::kServerBox; }
    // The box and its lists are there while the session list lists its rows.
    bool AvailableWhileListing(int) const override { return true; }
    // Enter in the box goes to the box (it lists the server), not to the dialog keys.
    KeyAnswer TranslateKey(const MSG& msg) override;
    void OnCommand(int id) override;
    void CancelWork() override { run_.Cancel(); }

private:
    static LRESULT CALLBACK EditSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    Services services_;
    ServerSource& directory_;
    Activity& activity_;
    CancelToken run_;  // cancelled when the window goes
    bool busy_ = false;
    OwnedDialogs boxes_;
    std::function<void()> onEnter_;
    HWND label_ = nullptr, combo_ = nullptr, fromFileButton_ = nullptr, fromDirectoryButton_ = nullptr;
    std::optional<TextEncoding> historyEncoding_;
};

}  // namespace tarvenix
