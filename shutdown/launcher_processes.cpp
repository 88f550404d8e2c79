#include "shutdown/launcher_processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

#include "app/launcher_footprint.h"

namespace {

// The only wait for a terminated launcher to let go of its files.
constexpr DWORD ReleasePauseMs = 1000;

void TerminateLauncher(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    if (process == nullptr) {
        return;
    }
    TerminateProcess(process, 0);
    CloseHandle(process);
    Sleep(ReleasePauseMs);
}

} // namespace

void KillLauncherProcesses()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    if (Process32FirstW(snapshot, &entry)) {
        do {
            if (std::wcscmp(entry.szExeFile, LauncherImageName) == 0) {
                TerminateLauncher(entry.th32ProcessID);
            }
        } while (Process32NextW(snapshot, &entry));
    }
    CloseHandle(snapshot);
}
