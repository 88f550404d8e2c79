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
enum class InstallFolder { Absent, Refused, Link, Opened };

// The folder that holds the file location names: its path in folder (the
// location itself when that is too long to be used), and, when the guard
// allows it, the folder as it was opened and judged in opened (Opened: the
// caller closes it) with the file it keeps for last in namedFile, or Link
// when it is a link, judged by where it leads.
InstallFolder OpenJudgedInstallFolder(const std::wstring& location, std::wstring& folder, HANDLE& opened,
                                      std::wstring& namedFile)
{
    opened = INVALID_HANDLE_VALUE;
    // A cut-off path could name another, existing folder: a location that
    // does not fit is not used at all.
    if (location.size() >= MAX_PATH) {
        folder = location;
        return InstallFolder::Refused;
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
    const bool isLink = opened == INVALID_HANDLE_VALUE && IsLinkAt(folder);
    if (isLink) {
        opened = OpenToIdentify(folder);
    }
    // The named file goes last: a run that fails or is cut short leaves it,
    // and the next run, judging the folder by it, can finish the removal.
    const bool allowed = opened != INVALID_HANDLE_VALUE &&
                         MayRemoveInstallFolder(location, folder, opened, FixedLauncherFolder, namedFile);
    if ((!allowed || isLink) && opened != INVALID_HANDLE_VALUE) {
        CloseHandle(opened);
        opened = INVALID_HANDLE_VALUE;
    }
    if (!allowed) {
        return InstallFolder::Refused;
    }
    return isLink ? InstallFolder::Link : InstallFolder::Opened;
}

} // namespace

bool RemoveInstallFolder(const std::wstring& location)
{
    std::wstring folder;
    HANDLE opened = INVALID_HANDLE_VALUE;
    std::wstring namedFile;
    switch (OpenJudgedInstallFolder(location, folder, opened, namedFile)) {
    case InstallFolder::Absent:
        return true; // nothing to remove
    case InstallFolder::Refused:
        TraceFailure(RefusedPrefix, folder);
        return false;
    case InstallFolder::Link:
        return RemoveFolder(folder);
    default:
        return RemoveOpenedFolder(opened, folder, namedFile);
    }
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
    std::wstring namedFile;
    if (OpenJudgedInstallFolder(location, folder, opened, namedFile) != InstallFolder::Opened) {
        return false;
    }
    const bool located = LocateInside(opened, OwnFilePath(), inside);
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
