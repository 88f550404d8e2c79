#include "tests/support/fake_launchers.h"

const std::wstring FakeLauncherImage = L"C:\\harness\\fake_launcher.exe";
const std::wstring FakeLauncher64Image = L"C:\\harness\\fake_launcher64.exe";

FakeLaunchers::~FakeLaunchers()
{
    for (HANDLE process : processes_) {
        if (IsRunning(process)) {
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

HANDLE FakeLaunchers::Start(const std::wstring& imagePath, const std::wstring& heldFile, const std::wstring& fakeImage)
{
    return StartWith(imagePath, L"\"" + heldFile + L"\"", fakeImage);
}

HANDLE FakeLaunchers::StartSharedHolder(const std::wstring& imagePath, const std::wstring& heldPath, DWORD milliseconds)
{
    return StartWith(imagePath, L"--hold-shared \"" + heldPath + L"\" " + std::to_wstring(milliseconds),
                     FakeLauncherImage);
}

HANDLE FakeLaunchers::StartIn(const std::wstring& imagePath, const std::wstring& workingFolder)
{
    return StartWith(imagePath, L"\"\"", FakeLauncherImage, workingFolder);
}

HANDLE FakeLaunchers::StartWith(const std::wstring& imagePath, const std::wstring& arguments,
                                const std::wstring& fakeImage, const std::wstring& workingFolder)
{
    if (!CopyFileW(fakeImage.c_str(), imagePath.c_str(), FALSE)) {
        return nullptr;
    }
    static unsigned counter = 0;
    const std::wstring readyName =
        L"fake-launcher-ready-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    std::wstring commandLine = L"\"" + imagePath + L"\" " + arguments + L" " + readyName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(imagePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process);
    if (!started) {
        CloseHandle(ready);
        return nullptr;
    }
    CloseHandle(process.hThread);
    processes_.push_back(process.hProcess);
    HANDLE waitFor[] = {ready, process.hProcess};
    const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, 30000);
    CloseHandle(ready);
    return woke == WAIT_OBJECT_0 ? process.hProcess : nullptr;
}

bool FakeLaunchers::IsRunning(HANDLE process)
{
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

DWORD FakeLaunchers::ExitCodeOf(HANDLE process)
{
    WaitForSingleObject(process, 5000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}
