// Fake launcher processes owned by one test. Whatever the test's outcome,
// every process still running is terminated, by its handle, when the owner
// goes away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class FakeLaunchers {
public:
    FakeLaunchers() = default;
    ~FakeLaunchers();
    FakeLaunchers(const FakeLaunchers&) = delete;
    FakeLaunchers& operator=(const FakeLaunchers&) = delete;

    // Copies the fake launcher to imagePath and starts it from there, holding
    // heldFile open when one is given. Returns once it runs (and holds the
    // file); null when it could not be started.
    HANDLE Start(const std::wstring& imagePath, const std::wstring& heldFile = L"");

    static bool IsRunning(HANDLE process);
    // The exit code once the process has ended, waiting up to five seconds.
    static DWORD ExitCodeOf(HANDLE process);

private:
    std::vector<HANDLE> processes_;
};
