#include "app/fixed_folder.h"

#include "app/launcher_footprint.h"
#include "app/removal_refusal.h"
#include "foldertree/root_descent.h"
#include "foldertree/trace.h"

bool RemoveFixedFolder()
{
    bool linkAbove = false;
    const bool removed = RemoveFolderFromRoot(FixedLauncherFolder, linkAbove);
    if (linkAbove) {
        TraceFailure(RefusedPrefix, FixedLauncherFolder);
    }
    return removed;
}

bool LocateOwnFileInFixedFolder(OwnFileInside& inside)
{
    HANDLE folder = OpenFolderFromRoot(FixedLauncherFolder);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool located = LocateInside(folder, OwnFilePath(), inside);
    CloseHandle(folder);
    return located;
}
