#include "foldertree/left_for_last.h"

#include "foldertree/folder_walks.h"
#include "foldertree/held_entries.h"
#include "foldertree/trace.h"

namespace {

// Deletes what is at path when it is the folder with this id on this
// volume, trying again while entries that another program held are still
// listed in it, within the run's patience.
bool DeleteEmptiedFolderAt(RunState& run, const std::wstring& path, LONGLONG id, DWORD volume)
{
    while (!DeleteIfSameObject(run, path, id, volume)) {
        if (GetLastError() != ERROR_DIR_NOT_EMPTY || !PauseForHeldEntries(run)) {
            return false;
        }
    }
    return true;
}

// The program's file is moved out, or, once it no longer runs (a copy of
// the program was handed the run), deleted; then its folders are deleted,
// deepest first, while each is still the folder located. A file that can be
// neither is traced as one that cannot be deleted, and its folders stay.
bool MoveOwnFileAside(RunState& run, const OwnFileInside& own)
{
    if (!MoveAside(own) && !DeleteIfSameObject(run, own.finalPath, own.fileId, own.volume)) {
        TraceFailure(EntryNotDeletedPrefix, own.finalPath.substr(own.finalPath.rfind(L'\\') + 1));
        return false;
    }
    for (size_t folder = 0; folder < own.folderPaths.size(); ++folder) {
        if (!DeleteEmptiedFolderAt(run, own.folderPaths[folder], own.folderIds[folder], own.volume)) {
            return false;
        }
    }
    return true;
}

// The top folder lists nothing but what was left for last, waited for while
// deleted entries are still listed.
bool OnlyLastIsLeft(RunState& run, const LeftForLast& left)
{
    HANDLE top = OpenListedFolder(left.parent, RecordIn(left.top));
    if (top == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool onlyLast = AwaitOnlyLastLeft(run, top, left.lastFile, left.own);
    CloseHandle(top);
    return onlyLast;
}

} // namespace

bool RemoveWhatWasLeftForLast(RunState& run, LeftForLast& left)
{
    if (left.parent == INVALID_HANDLE_VALUE) {
        return true;
    }
    const FILE_ID_BOTH_DIR_INFO& top = RecordIn(left.top);
    // Both opened to be deleted before anything of what is left goes: another
    // program's working folder, held without delete sharing, would keep the
    // folder, and so would a kept file whose deletion would wait for another
    // program to let go of it.
    HANDLE doomed = OnlyLastIsLeft(run, left) ? OpenListedEntry(left.parent, top, DELETE) : INVALID_HANDLE_VALUE;
    bool removed = doomed != INVALID_HANDLE_VALUE;
    HANDLE kept = INVALID_HANDLE_VALUE;
    bool exclusive = false;
    bool keptStays = false;
    if (removed && !left.lastEntry.empty()) {
        kept = OpenFileToDeleteAtOnce(run, doomed, RecordIn(left.lastEntry), left.volume, exclusive);
        removed = kept != INVALID_HANDLE_VALUE;
        keptStays = !removed;
    }
    // The program's own file traces its own failure.
    removed = removed && (left.own.fileId == 0 || MoveOwnFileAside(run, left.own));
    if (kept != INVALID_HANDLE_VALUE && removed) {
        removed = DeleteOpenedFileAtOnce(run, doomed, RecordIn(left.lastEntry), kept, exclusive, left.volume);
        keptStays = !removed;
    } else if (kept != INVALID_HANDLE_VALUE) {
        CloseHandle(kept);
    }
    if (keptStays) {
        // Its line comes after every other line of the run.
        TraceFailure(EntryNotDeletedPrefix, left.lastFile);
    }
    if (doomed != INVALID_HANDLE_VALUE) {
        const bool marked = removed && MarkForDeletion(run, doomed, left.volume);
        const DWORD error = GetLastError();
        CloseHandle(doomed);
        // An entry deleted while another program held it may still be listed.
        removed = marked || (removed && error == ERROR_DIR_NOT_EMPTY &&
                             DeleteEmptiedFolder(run, left.parent, top, left.volume, true));
    }
    KeepWhatWasLeftForLast(left);
    return removed;
}

void KeepWhatWasLeftForLast(LeftForLast& left)
{
    if (left.parent != INVALID_HANDLE_VALUE) {
        CloseHandle(left.parent);
        left.parent = INVALID_HANDLE_VALUE;
    }
}
