#include "foldertree/root_descent.h"

#include "foldertree/folder_walks.h"
#include "foldertree/full_path.h"
#include "foldertree/open_folder.h"
#include "foldertree/trace.h"

#include <algorithm>
#include <vector>

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

// The root of the drive a full path lies on, open to be listed.
HANDLE OpenRootOf(const std::wstring& full)
{
    return CreateFileW((L"\\\\?\\" + full.substr(0, 3)).c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsOnADrive(const std::wstring& full)
{
    return full.size() >= 3 && full[1] == L':' && full[2] == L'\\';
}

// The names below the drive's root of a full path, one a folder.
std::vector<std::wstring> NamesBelowRoot(const std::wstring& full)
{
    std::vector<std::wstring> names;
    for (size_t start = 3; start < full.size();) {
        size_t end = full.find(L'\\', start);
        end = end == std::wstring::npos ? full.size() : end;
        if (end > start) {
            names.push_back(full.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

// A way down from the root, as far as it was taken: the id of each folder
// listed on it, and how it ended when it ended before its last name.
struct WayDown {
    std::vector<LONGLONG> ids;
    Descent end = Descent::Reached;
};

// Goes down names from the open root (which it closes), at most depth of
// them, without following a link: each name is listed in a folder opened
// for that alone (a folder's listing keeps the first name it was asked
// for), and a link ends the way once it is listed. stopAt, when given, ends
// it at the first folder that is not the one listed at its depth there.
WayDown GoDown(HANDLE root, const std::vector<std::wstring>& names, size_t depth, const WayDown* stopAt)
{
    WayDown way;
    HANDLE folder = root;
    while (folder != INVALID_HANDLE_VALUE && way.ids.size() < depth) {
        const size_t at = way.ids.size();
        ListingBuffer record;
        DWORD error = ERROR_SUCCESS;
        HANDLE below = INVALID_HANDLE_VALUE;
        if (!ListNamedEntry(folder, names[at], record, error)) {
            way.end = error == ERROR_FILE_NOT_FOUND ? Descent::Absent : Descent::Unreachable;
        } else {
            const FILE_ID_BOTH_DIR_INFO& entry = RecordIn(record);
            way.ids.push_back(entry.FileId.QuadPart);
            const bool goesOn = way.ids.size() < depth &&
                                (stopAt == nullptr || (at < stopAt->ids.size() && stopAt->ids[at] == way.ids[at]));
            if (goesOn && (entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                way.end = Descent::LinkAbove;
            } else if (goesOn && (entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                way.end = Descent::Absent;
            } else if (goesOn) {
                below = OpenListedFolderToPass(folder, entry);
                way.end = below == INVALID_HANDLE_VALUE ? Descent::Unreachable : Descent::Reached;
            }
        }
        CloseHandle(folder);
        folder = below;
    }
    if (folder != INVALID_HANDLE_VALUE) {
        CloseHandle(folder);
    }
    return way;
}

} // namespace

Nesting NestingOnTheWayDown(const std::wstring& path, const std::wstring& other)
{
    const std::wstring mine = FullPathOf(path);
    const std::wstring theirs = FullPathOf(other);
    if (!IsOnADrive(mine) || !IsOnADrive(theirs)) {
        return Nesting::Apart;
    }
    HANDLE myRoot = OpenRootOf(mine);
    HANDLE theirRoot = OpenRootOf(theirs);
    const bool sameRoot =
        myRoot != INVALID_HANDLE_VALUE && theirRoot != INVALID_HANDLE_VALUE && IsSameObject(myRoot, theirRoot);
    if (!sameRoot) {
        for (HANDLE root : {myRoot, theirRoot}) {
            if (root != INVALID_HANDLE_VALUE) {
                CloseHandle(root);
            }
        }
        return Nesting::Apart; // another drive, or no such drive here
    }
    // Their way first, then mine only as far as it can share it.
    const std::vector<std::wstring> myNames = NamesBelowRoot(mine);
    const std::vector<std::wstring> theirNames = NamesBelowRoot(theirs);
    const WayDown theirWay = GoDown(theirRoot, theirNames, theirNames.size(), nullptr);
    const size_t myDepth = std::min(myNames.size(), std::min(theirNames.size(), theirWay.ids.size() + 1));
    const WayDown myWay = GoDown(myRoot, myNames, myDepth, &theirWay);
    size_t shared = 0;
    while (shared < myWay.ids.size() && shared < theirWay.ids.size() && myWay.ids[shared] == theirWay.ids[shared]) {
        ++shared;
    }
    if (shared == myNames.size() || shared == theirNames.size()) {
        return shared == theirNames.size() ? (shared == myNames.size() ? Nesting::Same : Nesting::Inside)
                                           : Nesting::Above;
    }
    if (shared < myWay.ids.size() && shared < theirWay.ids.size()) {
        return Nesting::Apart; // another object at the same depth
    }
    const Descent end = shared == myWay.ids.size() ? myWay.end : theirWay.end;
    if (end == Descent::LinkAbove) {
        return Nesting::LinkAbove;
    }
    if (end == Descent::Unreachable) {
        return Nesting::Unreachable;
    }
    // Nothing more on my way; or on theirs, where mine goes on elsewhere.
    return shared == myWay.ids.size() ? Nesting::Absent : Nesting::Apart;
}

HANDLE OpenParentFromRoot(const std::wstring& path, Descent& descent)
{
    descent = Descent::Unreachable;
    const std::wstring full = FullPathOf(path);
    if (full.size() < 4 || !IsOnADrive(full)) {
        return INVALID_HANDLE_VALUE; // not a folder on a drive
    }
    HANDLE folder = OpenRootOf(full);
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

bool RemoveFolderFromRoot(RunState& run, const std::wstring& folder, bool& linkAbove, LeftForLast& left)
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
            listed ? RemoveListedFolder(run, parent, RecordIn(record), folder, &left) : error == ERROR_FILE_NOT_FOUND;
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
