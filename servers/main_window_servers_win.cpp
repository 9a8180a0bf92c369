// The server box: its keys, the settings files, and the two server-list sources.
#include "app/main_window.h"

#include <commctrl.h>

namespace tarvenix {

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
            // The key still reaches the edit field afterwards.
            self->RunHandler([&] { self->Edit1KeyDown(wp); });
            break;
        case WM_CHAR:
            if (wp == VK_RETURN) return 0;  // no beep
            break;
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

void MainWindow::RestoreServerBox() {}
void MainWindow::SaveServerBox() {}
void MainWindow::sSpeedButtonTXTClick() {}

}  // namespace tarvenix
