// The real message boxes: their owner is the window the caller names, and
// their buttons read "OK", "&Yes" and "Cancel" whatever the system's language.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/platform_win.h"
#include "base/win_text.h"

namespace tarvenix::testing {
namespace {

struct SeenBox {
    HWND owner = nullptr;
    std::u16string caption, text, ok, cancel;
    bool hasCancel = false;
};

std::u16string DlgItemText(HWND box, int id) {
    wchar_t buffer[64] = {};
    GetDlgItemTextW(box, id, buffer, 64);
    return U16(buffer);
}

// Reads the box the thread shows next, then presses one of its buttons.
class BoxWatcher {
public:
    explicit BoxWatcher(int press) {
        press_ = press;
        seen_ = {};
        timer_ = SetTimer(nullptr, 0, 20, &BoxWatcher::Tick);
    }
    ~BoxWatcher() { KillTimer(nullptr, timer_); }
    const SeenBox& Seen() const { return seen_; }

private:
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd)) {
            *reinterpret_cast<HWND*>(found) = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND box = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &BoxWatcher::FindBox, reinterpret_cast<LPARAM>(&box));
        if (!box) return;
        seen_.owner = GetWindow(box, GW_OWNER);
        wchar_t caption[64] = {};
        GetWindowTextW(box, caption, 64);
        seen_.caption = U16(caption);
        seen_.text = DlgItemText(box, 0xFFFF);
        seen_.ok = DlgItemText(box, IDOK);
        seen_.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
        seen_.cancel = DlgItemText(box, IDCANCEL);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(press_, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, press_)));
    }
    static inline int press_ = IDOK;
    static inline SeenBox seen_;
    UINT_PTR timer_ = 0;
};

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        other_ = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetActiveWindow(other_);  // the active window is not the owner
    }
    void TearDown() override {
        DestroyWindow(other_);
        DestroyWindow(owner_);
    }
    WindowRef Owner() const { return reinterpret_cast<WindowRef>(owner_); }
    HWND owner_ = nullptr, other_ = nullptr;
    WinDialogs dialogs;
};

TEST_F(DialogsTest, EveryBoxIsOwnedByTheNamedWindowWithEnglishButtons) {
    {
        BoxWatcher watch(IDOK);
        dialogs.ShowMessage(Owner(), u"Готово!");
        EXPECT_EQ(watch.Seen().owner, owner_);
        EXPECT_EQ(watch.Seen().caption, u"Tarvenix");
        EXPECT_EQ(watch.Seen().ok, u"OK");
        EXPECT_FALSE(watch.Seen().hasCancel);
    }
    {
        BoxWatcher watch(IDOK);
        dialogs.ShowError(Owner(), u"Unable to write to X.");
        EXPECT_EQ(watch.Seen().owner, owner_);
        EXPECT_EQ(watch.Seen().ok, u"OK");
    }
    const struct { int press; bool answer; } answers[] = {{IDOK, true}, {IDCANCEL, false}};
    for (const auto& a : answers) {
        BoxWatcher watch(a.press);
        EXPECT_EQ(dialogs.Confirm(Owner(), u"Вы уверены?"), a.answer);
        EXPECT_EQ(watch.Seen().owner, owner_);
        EXPECT_EQ(watch.Seen().ok, u"&Yes");
        EXPECT_EQ(watch.Seen().cancel, u"Cancel");
    }
}

}  // namespace
}  // namespace tarvenix::testing
