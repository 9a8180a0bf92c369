// The message window (TForm3): created once, hidden, shown modally over the main window.
#pragma once

#include <windows.h>

#include "app/services.h"

namespace tarvenix {

class MainWindow;

class MessageWindow {
public:
    MessageWindow(const Services& services, MainWindow& mainWindow);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    void Create();
    // Shows the window modally; returns when it is closed.
    void ShowModal();
    HWND Handle() const { return hwnd_; }

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);

    Services services_;
    MainWindow& main_;
    HWND hwnd_ = nullptr;
};

}  // namespace tarvenix
