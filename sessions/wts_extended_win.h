// The extended process listing of wtsapi32 (WTSEnumerateProcessesExW and
// WTSFreeMemoryExW, Windows 7 and later). The Windows SDK declares them;
// mingw-w64's headers do not (its import library has them), so they are
// declared here as the SDK does when it has not.
#pragma once

#include <windows.h>
#include <wtsapi32.h>

#ifndef WTS_ANY_SESSION
#define WTS_ANY_SESSION ((DWORD)-2)

typedef enum _WTS_TYPE_CLASS {
    WTSTypeProcessInfoLevel0,
    WTSTypeProcessInfoLevel1,
    WTSTypeSessionInfoLevel1,
} WTS_TYPE_CLASS;

typedef struct _WTS_PROCESS_INFO_EXW {
    DWORD SessionId;
    DWORD ProcessId;
    LPWSTR pProcessName;
    PSID pUserSid;
    DWORD NumberOfThreads;
    DWORD HandleCount;
    DWORD PagefileUsage;
    DWORD PeakPagefileUsage;
    DWORD WorkingSetSize;
    DWORD PeakWorkingSetSize;
    LARGE_INTEGER UserTime;
    LARGE_INTEGER KernelTime;
} WTS_PROCESS_INFO_EXW, *PWTS_PROCESS_INFO_EXW;

extern "C" {
BOOL WINAPI WTSEnumerateProcessesExW(HANDLE hServer, DWORD* pLevel, DWORD SessionId, LPWSTR* ppProcessInfo,
                                     DWORD* pCount);
BOOL WINAPI WTSFreeMemoryExW(WTS_TYPE_CLASS WTSTypeClass, PVOID pMemory, ULONG NumberOfEntries);
}
#endif
