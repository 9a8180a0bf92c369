// Entry point of the Windows-side test program (win_tests). Only tarvenix.exe
// is linked with -municode; the test programs keep the narrow main.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    // One hidden top-level window for the whole run: under Wine the desktop
    // process ends when a process's last window goes, and a window created
    // while it restarts finds no display driver.
    HWND keeper = CreateWindowExW(0, L"STATIC", L"win_tests", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (keeper) DestroyWindow(keeper);
    return result;
}
