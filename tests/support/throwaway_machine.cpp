#include "tests/support/throwaway_machine.h"

#include <windows.h>

#include <cwchar>

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool OnThrowawayMachine()
{
    wchar_t optIn[2] = {};
    const DWORD length = GetEnvironmentVariableW(L"LAUNCHER_REMOVER_TESTS_MAY_DELETE", optIn, 2);
    return RunningUnderWine() || (length == 1 && std::wcscmp(optIn, L"1") == 0);
}

bool HarnessFilesPresent()
{
    return GetFileAttributesW(L"C:\\harness\\LauncherRemover.exe") != INVALID_FILE_ATTRIBUTES &&
           GetFileAttributesW(L"C:\\fixtures\\aliases") != INVALID_FILE_ATTRIBUTES;
}
