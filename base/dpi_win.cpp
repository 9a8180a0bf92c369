#include "base/dpi_win.h"

namespace tarvenix {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn DpiForWindowFunction() {
    static const GetDpiForWindowFn function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
    return function;
}

}  // namespace

int SystemDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int WindowDpi(HWND window) {
    if (window) {
        if (const GetDpiForWindowFn function = DpiForWindowFunction()) {
            const UINT dpi = function(window);
            if (dpi > 0) return static_cast<int>(dpi);
        }
    }
    return SystemDpi();
}

}  // namespace tarvenix
