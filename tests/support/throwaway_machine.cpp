#include "tests/support/throwaway_machine.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool OnThrowawayMachine()
{
    const char* optIn = std::getenv("LAUNCHER_REMOVER_TESTS_MAY_DELETE");
    return RunningUnderWine() || (optIn != nullptr && std::strcmp(optIn, "1") == 0);
}
