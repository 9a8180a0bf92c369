#include "actions/message_window.h"

#include "app/main_window.h"

namespace tarvenix {

MessageWindow::MessageWindow(const Services& services, MainWindow& mainWindow) : services_(services), main_(mainWindow) {}

MessageWindow::~MessageWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void MessageWindow::Create() {}

void MessageWindow::ShowModal() {}

LRESULT CALLBACK MessageWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd, msg, wp, lp); }

}  // namespace tarvenix
