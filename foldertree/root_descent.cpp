#include "foldertree/root_descent.h"

#include "foldertree/folder_walks.h"
#include "foldertree/full_path.h"
#include "foldertree/open_folder.h"
#include "foldertree/trace.h"

namespace {

// One step down: the entry named in the open folder, opened when it is a
// plain folder and the object listed.
HANDLE StepDown(HANDLE folder, const std::wstring& name, Descent& descent)
{
    ListingBuffer record;
    DWORD error = ERROR_SUCCESS;
    if (!ListNamedEntry(folder, name, record, error)) {
        descent = error == ERROR_FILE_NOT_FOUND ? Descent::Absent : Descent::Unreachable;
        return INVALID_HANDLE_VALUE;
    }
    const FILE_ID_BOTH_DIR_INFO& entry = RecordIn(record);
    // A junction, a symbolic link, a mount point; any other reparse point
    // (Wine lists its links without a tag) is refused alike.
    if ((entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        descent = Descent::LinkAbove;
        return INVALID_HANDLE_VALUE;
    }
    if ((entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        descent = Descent::Absent;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE below = OpenListedFolderToPass(folder, entry);
    if (below == INVALID_HANDLE_VALUE) {
        descent = Descent::Unreachable; // held, denied, or swapped since listed
    }
    return below;
}

} // namespace

HANDLE OpenParentFromRoot(const std::wstring& path, Descent& descent)
{
    descent = Descent::Unreachable;
    const std::wstring full = FullPathOf(path);
    if (full.size() < 4 || full[1] != L':' || full[2] != L'\\') {
        return INVALID_HANDLE_VALUE; // not a folder on a drive
    }
    HANDLE folder = CreateFileW((L"\\\\?\\" + full.substr(0, 3)).c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    for (size_t start = 3, end = full.find(L'\\', start); folder != INVALID_HANDLE_VALUE && end != std::wstring::npos;
         start = end + 1, end = full.find(L'\\', start)) {
        HANDLE below = StepDown(folder, full.substr(start, end - start), descent);
        CloseHandle(folder);
        folder = below;
    }
    if (folder != INVALID_HANDLE_VALUE) {
        descent = Descent::Reached;
    }
    return folder;
}

HANDLE OpenFolderFromRoot(const std::wstring& path)
{
    Descent descent = Descent::Unreachable;
    HANDLE parent = OpenParentFromRoot(path, descent);
    if (parent == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    const std::wstring full = FullPathOf(path);
    HANDLE folder = OpenNamedFolder(parent, full.substr(full.rfind(L'\\') + 1));
    CloseHandle(parent);
    return folder;
}

bool RemoveFolderFromRoot(const std::wstring& folder, bool& linkAbove)
{
    Descent descent = Descent::Unreachable;
    HANDLE parent = OpenParentFromRoot(folder, descent);
    linkAbove = descent == Descent::LinkAbove;
    if (descent == Descent::Absent) {
        return true;
    }
    if (descent == Descent::LinkAbove) {
        return false;
    }
    if (descent == Descent::Reached) {
        const std::wstring full = FullPathOf(folder);
        ListingBuffer record;
        DWORD error = ERROR_SUCCESS;
        const bool listed = ListNamedEntry(parent, full.substr(full.rfind(L'\\') + 1), record, error);
        const bool removed =
            listed ? RemoveListedFolder(parent, RecordIn(record), folder) : error == ERROR_FILE_NOT_FOUND;
        CloseHandle(parent);
        if (listed || removed) {
            return removed; // walked, or nothing there
        }
    }
    // What hides the folder is traced as both walks trace a folder they
    // cannot list; nothing was touched, and a later run finishes.
    TraceFailure(SearchFailedPrefix, folder);
    TraceFailure(SearchFailedPrefix, folder);
    return false;
}
