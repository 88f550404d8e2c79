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

std::wstring WorkingFolder()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetCurrentDirectoryW(size, &folder[0]);
    if (length == 0 || length >= size) {
        return std::wstring();
    }
    folder.resize(length);
    return folder;
}

bool HeldOnceLeft(const std::wstring& folder)
{
    LeaveWorkingFolder();
    HANDLE opened = CreateFileW(folder.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const bool held = opened == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    if (opened != INVALID_HANDLE_VALUE) {
        CloseHandle(opened);
    }
    SetCurrentDirectoryW(folder.c_str());
    return held;
}
