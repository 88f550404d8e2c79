#include "app/removal_run.h"

#include <windows.h>

#include "app/fixed_folder.h"
#include "app/hand_over.h"
#include "app/launcher_footprint.h"
#include "app/registered_folder.h"
#include "app/removal_lock.h"
#include "app/working_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/temporary_place.h"
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

// The program's own file lies inside a folder this run removes, on another
// drive than the user's temporary folder: it cannot move out of the way,
// and only a copy of the program can finish the run.
bool OwnFileCannotLeave()
{
    if (OwnFileOnTemporaryFolderVolume()) {
        return false; // the usual start: nothing more to look at
    }
    const std::wstring own = OwnFilePath();
    return LiesInRegisteredFolder(own) || LiesInFixedFolder(own);
}

// The folder the program was started in lies in a folder this run removes,
// and this process cannot let go of it (see HeldOnceLeft): only a copy
// started elsewhere can finish the run. Where the folder is let go, as in
// the usual start, its location is never judged.
bool WorkingFolderCannotBeLeft()
{
    const std::wstring started = WorkingFolder();
    return !started.empty() && HeldOnceLeft(started) && (LiesInRegisteredFolder(started) || LiesInFixedFolder(started));
}

} // namespace

void RunRemoval()
{
    RunState run;
    HANDLE startedProgram = nullptr;
    const bool handedOver = TakeHandedRun(run, startedProgram);
    if (handedOver && !AwaitStartedProgram(startedProgram)) {
        ReportOutcome(false);
        return;
    }
    // Held for the removal only: a second start goes on once the folders are
    // dealt with, not once this box is closed.
    HANDLE lock = AcquireRemovalLock();
    // The launcher, whose working folder its install folder may be, goes
    // first. Decided before any folder is changed; a copy never hands the
    // run on.
    KillLauncherProcesses(LauncherImageName);
    if (!handedOver && (OwnFileCannotLeave() || WorkingFolderCannotBeLeft()) && HandRunToCopy()) {
        ReleaseRemovalLock(lock);
        return; // the copy reports
    }
    LeftForLast registeredLast;
    LeftForLast fixedLast;
    const bool registeredRemoved = RemoveRegisteredFolder(run, registeredLast);
    const bool fixedRemoved = RemoveFixedFolder(run, registeredLast, fixedLast);
    // The last step, once both stages went well: what the next run needs
    // (the named file, the program's own file) goes only now.
    const bool lastRemoved = registeredRemoved && fixedRemoved && RemoveWhatWasLeftForLast(run, registeredLast) &&
                             RemoveWhatWasLeftForLast(run, fixedLast);
    KeepWhatWasLeftForLast(registeredLast);
    KeepWhatWasLeftForLast(fixedLast);
    // Under the lock: no other start is making a copy meanwhile.
    RemoveWhatEarlierRunsLeft();
    ReleaseRemovalLock(lock);
    ReportOutcome(lastRemoved);
}
