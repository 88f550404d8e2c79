#include "app/fixed_folder.h"

#include "app/launcher_footprint.h"
#include "app/removal_refusal.h"
#include "app/working_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/root_descent.h"
#include "foldertree/trace.h"

bool RemoveFixedFolder(RunState& run, const LeftForLast& registered, LeftForLast& left)
{
    if (registered.parent != INVALID_HANDLE_VALUE) {
        HANDLE fixed = OpenFolderFromRoot(FixedLauncherFolder);
        const bool same = fixed != INVALID_HANDLE_VALUE &&
                          FileIdOf(fixed) == RecordIn(registered.top).FileId.QuadPart &&
                          VolumeOf(fixed) == registered.volume;
        if (fixed != INVALID_HANDLE_VALUE) {
            CloseHandle(fixed);
        }
        if (same) {
            return true; // it goes in the registered stage's last step
        }
    }
    LeaveWorkingFolder();
    bool linkAbove = false;
    const bool removed = RemoveFolderFromRoot(run, FixedLauncherFolder, linkAbove, left);
    if (linkAbove) {
        TraceFailure(RefusedPrefix, FixedLauncherFolder);
    }
    return removed;
}

bool LiesInFixedFolder(const std::wstring& path)
{
    HANDLE folder = OpenFolderFromRoot(FixedLauncherFolder);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    OwnFileInside inside;
    const bool located = LocateInside(folder, path, inside);
    CloseHandle(folder);
    return located;
}
