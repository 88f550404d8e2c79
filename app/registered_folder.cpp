#include "app/registered_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "app/launcher_footprint.h"
#include "app/removal_refusal.h"
#include "foldertree/folder_walks.h"
#include "foldertree/open_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/trace.h"
#include "guard/folder_identity.h"
#include "guard/install_folder_guard.h"
#include "registry/registry_key.h"

namespace {

// Trace text, kept exactly as it is: tools match it to the letter.
constexpr wchar_t TooLongToReadNote[] = L"(location too long to read)";

// What a location's install folder turned out to be.
enum class InstallFolder { Absent, Link, Folder };

// The folder that holds the file location names: its path in folder (the
// location itself when that is too long to be used) and the folder as it
// was opened in opened, for the guard to judge (a link: what it leads to);
// INVALID_HANDLE_VALUE when it cannot be used or opened. The caller closes
// it.
InstallFolder OpenInstallFolder(const std::wstring& location, std::wstring& folder, HANDLE& opened)
{
    opened = INVALID_HANDLE_VALUE;
    // A cut-off path could name another, existing folder: a location that
    // does not fit is not used at all.
    if (location.size() >= MAX_PATH) {
        folder = location;
        return InstallFolder::Folder;
    }
    wchar_t buffer[MAX_PATH] = {};
    std::copy(location.begin(), location.end(), buffer);
    PathRemoveFileSpecW(buffer);
    folder = buffer;

    if (!PathFileExistsW(folder.c_str())) {
        return InstallFolder::Absent;
    }
    // The folder is judged as it was opened and walked from that open
    // folder: nothing swapped in after the judgement is removed unjudged. A
    // link is judged by where it leads; only the link itself is removed.
    opened = OpenFolderToRemove(folder);
    if (opened == INVALID_HANDLE_VALUE && IsLinkAt(folder)) {
        opened = OpenToIdentify(folder);
        return InstallFolder::Link;
    }
    return InstallFolder::Folder;
}

// The named file goes last: a run that fails or is cut short leaves it, and
// the next run, judging the folder by it, can finish the removal.
bool MayRemove(const std::wstring& location, const std::wstring& folder, HANDLE opened, std::wstring& namedFile)
{
    return opened != INVALID_HANDLE_VALUE &&
           MayRemoveInstallFolder(location, folder, opened, FixedLauncherFolder, namedFile);
}

} // namespace

bool RemoveInstallFolder(const std::wstring& location)
{
    std::wstring folder;
    HANDLE opened = INVALID_HANDLE_VALUE;
    const InstallFolder found = OpenInstallFolder(location, folder, opened);
    if (found == InstallFolder::Absent) {
        return true; // nothing to remove
    }
    std::wstring namedFile;
    const bool allowed = MayRemove(location, folder, opened, namedFile);
    if ((!allowed || found == InstallFolder::Link) && opened != INVALID_HANDLE_VALUE) {
        CloseHandle(opened);
    }
    if (!allowed) {
        TraceFailure(RefusedPrefix, folder);
        return false;
    }
    if (found == InstallFolder::Link) {
        return RemoveFolder(folder);
    }
    return RemoveOpenedFolder(opened, folder, namedFile);
}

bool LocateOwnFileInRegisteredFolder(OwnFileInside& inside)
{
    RegistryKey key = {SharedKeyRoot, nullptr};
    if (!key.Open(SharedKeyPath)) {
        return false;
    }
    // A location too long to read comes back empty: no folder, as in the run.
    const std::wstring location = key.QueryString(LocationValueName, L"");
    key.Close();
    std::wstring folder;
    HANDLE opened = INVALID_HANDLE_VALUE;
    // A link is removed as itself: nothing inside where it leads goes.
    const InstallFolder found = OpenInstallFolder(location, folder, opened);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    // Judged by the guard only when the program lies inside: the guard's
    // reading of the machine is the costly part of a start.
    std::wstring namedFile;
    const bool located = found == InstallFolder::Folder && LocateInside(opened, OwnFilePath(), inside) &&
                         MayRemove(location, folder, opened, namedFile);
    CloseHandle(opened);
    return located;
}

bool RemoveRegisteredFolder()
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
        removed = RemoveInstallFolder(key.QueryString(LocationValueName, L""));
    }
    key.DeleteValue(VersionValueName);
    key.Close();
    return removed;
}
