// Entry point. The program takes no arguments and opens no window of its own;
// it exits with 0 whatever the outcome, which the user reads from the box.
#include <windows.h>

#include "app/removal_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything else: a DLL loaded on demand (the box's theme, say) is
    // looked for in System32 only, never beside the program, where a
    // download folder may hold one planted under its name.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    RunRemoval();
    return 0;
}
