#include "app/registered_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "app/launcher_footprint.h"
#include "app/removal_refusal.h"
#include "app/working_folder.h"
#include "foldertree/folder_walks.h"
#include "foldertree/open_folder.h"
#include "foldertree/full_path.h"
#include "foldertree/own_file.h"
#include "foldertree/root_descent.h"
#include "foldertree/trace.h"
#include "guard/folder_identity.h"
#include "guard/install_folder_guard.h"
#include "registry/registry_key.h"

namespace {

// Trace text, kept exactly as it is: tools match it to the letter.
constexpr wchar_t TooLongToReadNote[] = L"(location too long to read)";

// How the way to a location's install folder ended.
enum class Reach {
    Nothing, // no folder there: nothing to remove
    Found, // listed in its parent: to be judged
    Unusable, // too long, or there but not to be opened as a folder or a link
    LinkAbove, // reached from the drive's root, through a link above it
    Unreachable, // reached from the drive's root, past a folder that hides it
};

// The install folder as reached: its path (the location itself when that is
// too long to be used), as the trace lines show it; its parent, held open,
// and its record there; what the guard judges (the folder opened to be
// walked, or, for a link, what it leads to); whether it was reached from
// the drive's root, sharing the default folder's way, and then the default
// folder as that way down holds it.
struct InstallFolder {
    std::wstring path;
    HANDLE parent = INVALID_HANDLE_VALUE;
    ListingBuffer record;
    HANDLE judged = INVALID_HANDLE_VALUE;
    bool fromRoot = false;
    HANDLE defaultFolder = INVALID_HANDLE_VALUE;
};

void CloseIfOpen(HANDLE& handle)
{
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
}

void Release(InstallFolder& folder)
{
    CloseIfOpen(folder.parent);
    CloseIfOpen(folder.judged);
    CloseIfOpen(folder.defaultFolder);
}

bool IsLinkEntry(const InstallFolder& folder)
{
    return (RecordIn(folder.record).FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The default folder lies at the top of drive C:, where another account
// may put a link in place of a folder above it: a folder that is the
// default folder, or lies inside or above it, has one way in, the default
// folder's own, from the drive's root without following a link.
bool SharesTheDefaultFolderWay(const std::wstring& folder, Reach& reach)
{
    if (FullPathOf(folder).size() <= 3) {
        return false; // a drive root: the guard refuses it
    }
    switch (NestingOnTheWayDown(folder, FixedLauncherFolder)) {
    case Nesting::Apart:
        return false;
    case Nesting::Absent:
        reach = Reach::Nothing;
        return true;
    case Nesting::LinkAbove:
        reach = Reach::LinkAbove;
        return true;
    case Nesting::Unreachable:
        reach = Reach::Unreachable;
        return true;
    default:
        reach = Reach::Found;
        return true;
    }
}

// The folder's record in its open parent, and what the guard judges: a
// folder opened through the parent without following a link, checked to be
// the object listed; a link by where it leads. Only the link goes.
Reach ListInParent(InstallFolder& folder, const std::wstring& name)
{
    DWORD error = ERROR_SUCCESS;
    if (!ListNamedEntry(folder.parent, name, folder.record, error)) {
        return error == ERROR_FILE_NOT_FOUND ? Reach::Nothing : Reach::Unreachable;
    }
    const FILE_ID_BOTH_DIR_INFO& entry = RecordIn(folder.record);
    if ((entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        folder.judged = OpenToIdentify(folder.path);
    } else if ((entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        folder.judged = OpenListedFolder(folder.parent, entry);
    }
    return folder.judged != INVALID_HANDLE_VALUE ? Reach::Found : Reach::Unusable;
}

// Reaches the folder that holds the file location names. The caller
// releases what it holds.
Reach ReachInstallFolder(const std::wstring& location, InstallFolder& folder)
{
    // A cut-off path could name another, existing folder: a location that
    // does not fit is not used at all.
    if (location.size() >= MAX_PATH) {
        folder.path = location;
        return Reach::Unusable;
    }
    wchar_t buffer[MAX_PATH] = {};
    std::copy(location.begin(), location.end(), buffer);
    PathRemoveFileSpecW(buffer);
    folder.path = buffer;

    Reach reach = Reach::Found;
    folder.fromRoot = SharesTheDefaultFolderWay(folder.path, reach);
    if (folder.fromRoot) {
        if (reach != Reach::Found) {
            return reach;
        }
        Descent descent = Descent::Unreachable;
        folder.parent = OpenParentFromRoot(folder.path, descent);
        if (descent != Descent::Reached) {
            return descent == Descent::Absent      ? Reach::Nothing
                   : descent == Descent::LinkAbove ? Reach::LinkAbove
                                                   : Reach::Unreachable;
        }
        folder.defaultFolder = OpenFolderFromRoot(FixedLauncherFolder);
        const std::wstring full = FullPathOf(folder.path);
        return ListInParent(folder, full.substr(full.rfind(L'\\') + 1));
    }
    // Elsewhere, links and aliases above the folder are the user's own
    // layout; the named file tells the folder apart.
    if (!PathFileExistsW(folder.path.c_str())) {
        return Reach::Nothing;
    }
    std::wstring name;
    folder.parent = OpenParentOf(folder.path, name);
    if (folder.parent == INVALID_HANDLE_VALUE) {
        return Reach::Unusable;
    }
    reach = ListInParent(folder, name);
    return reach == Reach::Found ? reach : Reach::Unusable;
}

// The named file goes last: a run that fails or is cut short leaves it, and
// the next run, judging the folder by it, can finish the removal. The
// default folder's handle, which shares no deletion, goes once it has
// served.
bool MayRemove(const std::wstring& location, InstallFolder& folder, std::wstring& namedFile)
{
    const bool allowed = folder.judged != INVALID_HANDLE_VALUE &&
                         MayRemoveInstallFolder(location, folder.path, folder.judged, folder.defaultFolder, namedFile);
    CloseIfOpen(folder.defaultFolder);
    return allowed;
}

} // namespace

bool RemoveInstallFolder(RunState& run, const std::wstring& location, LeftForLast* left)
{
    InstallFolder folder;
    const Reach reach = ReachInstallFolder(location, folder);
    std::wstring namedFile;
    bool removed = false;
    if (reach == Reach::Nothing) {
        removed = true;
    } else if (reach == Reach::Unreachable) {
        // Traced as both walks trace a folder they cannot list; nothing was
        // touched, and a later run finishes.
        TraceFailure(SearchFailedPrefix, folder.path);
        TraceFailure(SearchFailedPrefix, folder.path);
    } else if (reach != Reach::Found || !MayRemove(location, folder, namedFile)) {
        TraceFailure(RefusedPrefix, folder.path);
    } else if (LeaveWorkingFolder(); IsLinkEntry(folder)) {
        removed = RemoveListedFolder(run, folder.parent, RecordIn(folder.record), folder.path, nullptr);
    } else {
        // The walks take the judged folder over: what was judged is removed.
        // Its named file goes in the run's last step; on the default
        // folder's way, which needs no such file, at the end of its walks.
        HANDLE judged = folder.judged;
        folder.judged = INVALID_HANDLE_VALUE;
        removed = RemoveOpenedListedFolder(run, folder.parent, RecordIn(folder.record), judged, folder.path, namedFile,
                                           folder.fromRoot ? nullptr : left);
    }
    Release(folder);
    return removed;
}

bool LiesInRegisteredFolder(const std::wstring& path)
{
    RegistryKey key = {SharedKeyRoot, nullptr};
    if (!key.Open(SharedKeyPath)) {
        return false;
    }
    // A location too long to read comes back empty: no folder, as in the run.
    const std::wstring location = key.QueryString(LocationValueName, L"");
    key.Close();
    InstallFolder folder;
    // A link is removed as itself: nothing inside where it leads goes.
    // Judged by the guard only when the path lies inside: the guard's
    // reading of the machine is the costly part of a start.
    std::wstring namedFile;
    OwnFileInside inside;
    const bool located = ReachInstallFolder(location, folder) == Reach::Found && !IsLinkEntry(folder) &&
                         LocateInside(folder.judged, path, inside) && MayRemove(location, folder, namedFile);
    Release(folder);
    return located;
}

bool RemoveInstallFolder(const std::wstring& location)
{
    RunState run;
    return RemoveInstallFolder(run, location, nullptr);
}

bool RemoveRegisteredFolder(RunState& run, LeftForLast& left)
{
    RegistryKey key = {SharedKeyRoot, nullptr};
    if (!key.Open(SharedKeyPath)) {
        return true;
    }
    bool removed = false;
    // Read as missing, a location too long to read would pass for "nothing
    // installed" and the run would report success.
    if (key.IsTooLongToRead(LocationValueName)) {
        TraceFailure(RefusedPrefix, TooLongToReadNote);
    } else {
        removed = RemoveInstallFolder(run, key.QueryString(LocationValueName, L""), &left);
    }
    key.DeleteValue(VersionValueName);
    key.Close();
    return removed;
}
