/* Exits with 80 when the Wine it runs under deletes the POSIX way, as
   Windows 10 and 11 do: a file held by another handle with delete sharing,
   deleted through FileDispositionInfoEx with POSIX semantics, leaves its
   folder's listing as soon as the deleting handle closes. 87: the call is
   refused (Wine 8); 2: the name stayed; 1: the probe itself failed. Also
   calls into user32, which needs more than kernel32 does. Built as a 32-bit
   program, it must run as one does on 64-bit Windows (WOW64): 32 when not. */
#include <windows.h>

int main(void)
{
    const wchar_t *path = L"C:\\posix-probe.tmp";
    HANDLE file, holder;
    ULONG flags = 0x1 | 0x2; /* FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS */
    BOOL deleted;
    DWORD error;
    int status;
#ifndef _WIN64
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64))
        return 1;
    if (!wow64)
        return 32;
#endif
    file = CreateFileW(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                       CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE || GetSystemMetrics(SM_CMONITORS) < 0)
        return 1;
    holder = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                         OPEN_EXISTING, 0, NULL);
    deleted = SetFileInformationByHandle(file, (FILE_INFO_BY_HANDLE_CLASS)21, &flags, sizeof(flags));
    error = GetLastError();
    CloseHandle(file);
    status = !deleted ? (error == ERROR_INVALID_PARAMETER ? 87 : 1)
                      : (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ? 80 : 2);
    if (holder != INVALID_HANDLE_VALUE)
        CloseHandle(holder);
    DeleteFileW(path);
    return status;
}
