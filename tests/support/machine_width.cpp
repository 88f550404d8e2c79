#include "tests/support/machine_width.h"

bool IsWow64(HANDLE process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

bool MachineHasTwoRegistryViews()
{
#ifdef _WIN64
    return true;
#else
    return IsWow64(GetCurrentProcess());
#endif
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

namespace {

bool StartFolderCannotBeOpenedToDelete()
{
    wchar_t started[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, started);
    wchar_t windows[MAX_PATH] = {};
    if (length == 0 || length >= MAX_PATH || GetWindowsDirectoryW(windows, MAX_PATH) == 0 ||
        !SetCurrentDirectoryW(windows)) {
        return false;
    }
    HANDLE folder =
        CreateFileW(started, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool kept = folder == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    if (folder != INVALID_HANDLE_VALUE) {
        CloseHandle(folder);
    }
    SetCurrentDirectoryW(started);
    return kept;
}

} // namespace

bool StartFolderIsKeptOnceLeft()
{
    static const bool kept = StartFolderCannotBeOpenedToDelete();
    return kept;
}
