// The DPI a window is drawn at, on every Windows the program runs on.
#pragma once

#include <windows.h>

#include "base/dpi.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace tarvenix {

// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 and later, Wine), else the screen's LOGPIXELSX.
int WindowDpi(HWND window);
// The DPI of the primary screen: what a window about to be created gets.
int SystemDpi();

}  // namespace tarvenix
