#include "app/registered_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "app/launcher_footprint.h"
#include "app/removal_refusal.h"
#include "foldertree/folder_walks.h"
#include "foldertree/open_folder.h"
#include "foldertree/trace.h"
#include "guard/folder_identity.h"
#include "guard/install_folder_guard.h"
#include "registry/registry_key.h"

namespace {

// Trace text, kept exactly as it is: tools match it to the letter.
constexpr wchar_t TooLongToReadNote[] = L"(location too long to read)";

} // namespace

bool RemoveInstallFolder(const std::wstring& location)
{
    // A cut-off path could name another, existing folder: a location that
    // does not fit is not used at all.
    if (location.size() >= MAX_PATH) {
        TraceFailure(RefusedPrefix, location);
        return false;
    }
    wchar_t buffer[MAX_PATH] = {};
    std::copy(location.begin(), location.end(), buffer);
    PathRemoveFileSpecW(buffer);
    const std::wstring folder = buffer;

    if (!PathFileExistsW(folder.c_str())) {
        return true; // nothing to remove
    }
    // The folder is judged as it was opened and walked from that open
    // folder: nothing swapped in after the judgement is removed unjudged. A
    // link is judged by where it leads; only the link itself is removed.
    HANDLE opened = OpenFolderToRemove(folder);
    const bool isLink = opened == INVALID_HANDLE_VALUE && IsLinkAt(folder);
    if (isLink) {
        opened = OpenToIdentify(folder);
    }
    // The named file goes last: a run that fails or is cut short leaves it,
    // and the next run, judging the folder by it, can finish the removal.
    std::wstring namedFile;
    const bool allowed = opened != INVALID_HANDLE_VALUE &&
                         MayRemoveInstallFolder(location, folder, opened, FixedLauncherFolder, namedFile);
    if ((!allowed || isLink) && opened != INVALID_HANDLE_VALUE) {
        CloseHandle(opened);
    }
    if (!allowed) {
        TraceFailure(RefusedPrefix, folder);
        return false;
    }
    if (isLink) {
        return RemoveFolder(folder);
    }
    return RemoveOpenedFolder(opened, folder, namedFile);
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
