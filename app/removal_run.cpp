#include "app/removal_run.h"

#include <windows.h>

#include "app/fixed_folder.h"
#include "app/launcher_footprint.h"
#include "app/registered_folder.h"
#include "app/removal_lock.h"
#include "shutdown/launcher_processes.h"

namespace {

constexpr wchar_t ReportCaption[] = L"리놉 하르벤 삭제";
constexpr wchar_t SuccessText[] = L"성공!";
constexpr wchar_t FailureText[] = L"문제 발생!";

void ReportOutcome(bool succeeded)
{
    if (succeeded) {
        MessageBoxW(nullptr, SuccessText, ReportCaption, MB_OK | MB_ICONINFORMATION);
    } else {
        MessageBoxW(nullptr, FailureText, ReportCaption, MB_OK | MB_ICONEXCLAMATION);
    }
}

} // namespace

void RunRemoval()
{
    // Held for the removal only: a second start goes on once the folders are
    // dealt with, not once this box is closed.
    HANDLE lock = AcquireRemovalLock();
    KillLauncherProcesses(LauncherImageName);
    const bool registeredRemoved = RemoveRegisteredFolder();
    const bool fixedRemoved = RemoveFixedFolder();
    ReleaseRemovalLock(lock);
    ReportOutcome(registeredRemoved && fixedRemoved);
}
