#include "app/working_folder.h"

#include <windows.h>

std::wstring SystemFolder()
{
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(system, length) : std::wstring();
}

void LeaveWorkingFolder()
{
    const std::wstring system = SystemFolder();
    if (!system.empty()) {
        SetCurrentDirectoryW(system.c_str());
    }
}
