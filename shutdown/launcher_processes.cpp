#include "shutdown/launcher_processes.h"

#include <tlhelp32.h>

#include <string>

namespace {

#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(PROCESSENTRY32W) == 556, "the 32-bit snapshot record");
#endif

// Longest path the platform can report for an image, in wide characters.
constexpr DWORD ImagePathCapacity = 32768;
// How long a terminated launcher may take to end; TerminateProcess returns
// before it has.
constexpr DWORD EndWaitMs = 10000;
// After it has ended, a moment more for whatever it held to be let go.
constexpr DWORD ReleasePauseMs = 1000;

// Whole names, code unit by code unit: letter case counts.
bool IsLauncherName(const wchar_t* name, const std::wstring& imageName)
{
    return imageName == name;
}

// The name of the opened process's image file, judged on the process itself
// rather than on the snapshot's record of whoever had its id then.
bool IsStillLauncher(HANDLE process, const std::wstring& imageName)
{
    std::wstring image(ImagePathCapacity, L'\0');
    DWORD length = ImagePathCapacity;
    if (!QueryFullProcessImageNameW(process, 0, &image[0], &length)) {
        return false;
    }
    image.resize(length);
    const size_t separator = image.rfind(L'\\');
    return IsLauncherName(image.c_str() + (separator == std::wstring::npos ? 0 : separator + 1), imageName);
}

} // namespace

bool EndLauncherProcess(DWORD processId, const std::wstring& imageName)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return false;
    }
    if (!IsStillLauncher(process, imageName)) {
        CloseHandle(process);
        return false;
    }
    if (TerminateProcess(process, 0)) {
        WaitForSingleObject(process, EndWaitMs);
    }
    CloseHandle(process);
    Sleep(ReleasePauseMs);
    return true;
}

void KillLauncherProcesses(const std::wstring& imageName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    if (Process32FirstW(snapshot, &entry)) {
        do {
            if (IsLauncherName(entry.szExeFile, imageName)) {
                EndLauncherProcess(entry.th32ProcessID, imageName);
            }
        } while (Process32NextW(snapshot, &entry));
    }
    CloseHandle(snapshot);
}
