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
