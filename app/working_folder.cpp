#include "app/working_folder.h"

#include <windows.h>

void LeaveWorkingFolder()
{
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        SetCurrentDirectoryW(system);
    }
}
