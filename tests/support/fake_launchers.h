// Fake launcher processes owned by one test. Whatever the test's outcome,
// every process still running is terminated, by its handle, when the owner
// goes away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The fake launcher built as the tests are, and its x86-64 build, which the
// harness stages only where a 32-bit program runs on 64-bit Windows (mode
// wow64).
extern const std::wstring FakeLauncherImage;
extern const std::wstring FakeLauncher64Image;

class FakeLaunchers {
public:
    FakeLaunchers() = default;
    ~FakeLaunchers();
    FakeLaunchers(const FakeLaunchers&) = delete;
    FakeLaunchers& operator=(const FakeLaunchers&) = delete;

    // Copies the fake launcher (fakeImage) to imagePath and starts it from
    // there, holding heldFile open when one is given. Returns once it runs
    // (and holds the file); null when it could not be started.
    HANDLE Start(const std::wstring& imagePath, const std::wstring& heldFile = L"",
                 const std::wstring& fakeImage = FakeLauncherImage);

    // Copies the fake launcher to imagePath (a name that is not the
    // launcher's) and starts it as a virus scanner or an Explorer window:
    // heldPath, a file or a folder, held open for reading and shared for
    // deletion for the given time. Returns once it is held.
    HANDLE StartSharedHolder(const std::wstring& imagePath, const std::wstring& heldPath, DWORD milliseconds);

    // Copies the fake launcher to imagePath (a name that is not the
    // launcher's) and starts it with workingFolder as its working folder, as
    // a command prompt opened there. Returns once it runs.
    HANDLE StartIn(const std::wstring& imagePath, const std::wstring& workingFolder);

    static bool IsRunning(HANDLE process);
    // The exit code once the process has ended, waiting up to five seconds.
    static DWORD ExitCodeOf(HANDLE process);

private:
    HANDLE StartWith(const std::wstring& imagePath, const std::wstring& arguments, const std::wstring& fakeImage,
                     const std::wstring& workingFolder = L"");

    std::vector<HANDLE> processes_;
};
