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
