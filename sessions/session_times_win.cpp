#include "sessions/session_times_win.h"

#include <windows.h>

#include "base/win_text.h"

namespace tarvenix {

std::u16string LocalLogonText(std::int64_t ticks) {
    FILETIME utc{static_cast<DWORD>(static_cast<std::uint64_t>(ticks) & 0xFFFFFFFFu),
                 static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32)};
    SYSTEMTIME utcTime{}, local{};
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) return {};
    wchar_t date[80] = {}, time[80] = {};
    if (!GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80, nullptr)) return {};
    if (!GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 80)) return {};
    return U16(date) + u" " + U16(time);
}

}  // namespace tarvenix
