#include "foldertree/folder_walks.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "foldertree/full_path.h"
#include "foldertree/held_entries.h"
#include "foldertree/left_for_last.h"
#include "foldertree/open_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/trace.h"

namespace {

enum class Walk { Normalize, Delete };

bool IsDotEntry(const std::wstring& name)
{
    return name == L"." || name == L"..";
}

bool IsLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

enum class EntryAction { Reset, Delete };

// Resets or deletes a listed entry (a link as itself), which lies on the
// given volume, through an open that is checked to reach the object listed.
// One that was already deleted, and is listed only until another program
// lets go of it, needs neither. GetLastError tells why it failed.
bool ActOnListedEntry(RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, EntryAction action,
                      DWORD volume)
{
    HANDLE opened = OpenListedEntry(folder, entry, action == EntryAction::Reset ? FILE_WRITE_ATTRIBUTES : DELETE);
    if (opened == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_DELETE_PENDING;
    }
    return CloseAfter(opened,
                      action == EntryAction::Reset ? ResetAttributes(opened) : MarkForDeletion(run, opened, volume));
}

// Deletes a listed file, or a link as itself (never what it points at).
bool DeleteListedEntry(RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume)
{
    if (!IsFolder(entry.FileAttributes) && !IsLink(entry.FileAttributes)) {
        return DeleteListedFile(run, folder, entry, volume);
    }
    return ActOnListedEntry(run, folder, entry, EntryAction::Delete, volume);
}

bool HoldsOwnFile(const FILE_ID_BOTH_DIR_INFO& entry, const OwnFileInside& own)
{
    return std::find(own.folderIds.begin(), own.folderIds.end(), entry.FileId.QuadPart) != own.folderIds.end();
}

bool IsOwnFile(const FILE_ID_BOTH_DIR_INFO& entry, const OwnFileInside& own)
{
    return own.fileId != 0 && !IsFolder(entry.FileAttributes) && entry.FileId.QuadPart == own.fileId;
}

bool IsLastFile(const FILE_ID_BOTH_DIR_INFO& entry, const std::wstring& name, const std::wstring& lastFile)
{
    return !lastFile.empty() && !IsFolder(entry.FileAttributes) && lastFile == name;
}

// A copy of one listing record, the name included, which outlives its batch.
ListingBuffer CopyOfRecord(const FILE_ID_BOTH_DIR_INFO& entry)
{
    const size_t bytes = offsetof(FILE_ID_BOTH_DIR_INFO, FileName) + entry.FileNameLength;
    ListingBuffer copy((bytes + sizeof(LONGLONG) - 1) / sizeof(LONGLONG));
    std::memcpy(copy.data(), &entry, bytes);
    return copy;
}

constexpr size_t EndOfBatch = static_cast<size_t>(-1);

// One folder on the walk's way down from the top folder: held open for its
// walk, its place in its listing, its own record in its parent's listing
// (none for the top), and whether everything in it went well so far. The
// walk keeps these in a stack of its own, never in the call stack: no depth
// of tree can exhaust the thread's stack.
struct Level {
    HANDLE folder = INVALID_HANDLE_VALUE;
    ListingBuffer record;
    ListingBuffer batch; // the listing batch being worked through
    size_t next = 0; // offset of its next record, in LONGLONGs
    bool listing = false; // a batch is at hand
    DWORD listingError = ERROR_NO_MORE_FILES;
    size_t shownLength = 0; // the folder as shown: the walk's path, cut here
    int result = 1;
};

// The next entry the level's folder lists, reading the next batch when one
// is used up; null at the end of the listing, with listingError telling
// whether it ended normally.
const FILE_ID_BOTH_DIR_INFO* NextEntry(Level& level)
{
    while (level.listing) {
        if (level.next != EndOfBatch) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(level.batch.data() + level.next);
            level.next =
                entry->NextEntryOffset == 0 ? EndOfBatch : level.next + entry->NextEntryOffset / sizeof(LONGLONG);
            return entry;
        }
        level.listing = ReadListing(level.folder, level.batch, false, level.listingError);
        level.next = 0;
    }
    return nullptr;
}

// What one walk needs as it goes: which walk, the top folder's path as the
// caller gave it, grown and cut as the walk goes down and up (the trace
// lines show it), the levels, the file kept for last, the program's own
// file and the volume of the tree (a walk never enters a link, so never
// another volume's mount point).
struct WalkState {
    RunState& run;
    Walk walk;
    std::wstring shown;
    std::vector<Level> levels;
    std::wstring lastFile;
    ListingBuffer lastEntry;
    const OwnFileInside& own;
    DWORD volume;
};

// Starts a level on a folder held open: its first batch. False, traced,
// when the folder cannot be listed.
bool EnterLevel(WalkState& state, HANDLE folder, ListingBuffer record)
{
    Level level;
    level.folder = folder;
    level.record = std::move(record);
    level.shownLength = state.shown.size();
    level.listing = ReadListing(folder, level.batch, true, level.listingError);
    if (!level.listing && level.listingError != ERROR_NO_MORE_FILES) {
        TraceFailure(SearchFailedPrefix, state.shown);
        return false;
    }
    state.levels.push_back(std::move(level));
    return true;
}

// A subfolder's walk is over (or never began: folder invalid, listedWhole
// false): reset it (normalize) or delete it (delete) through its parent,
// whose result takes its outcome. One that cannot be opened as the folder
// listed showed as one that cannot be listed; the normalize walk still
// resets it when it is the folder listed (another program may hold it open
// without sharing), and only that reset is traced.
void FinishSubfolder(WalkState& state, const FILE_ID_BOTH_DIR_INFO& entry, HANDLE folder, bool listedWhole, int result)
{
    Level& parent = state.levels.back();
    if (folder != INVALID_HANDLE_VALUE) {
        if (state.walk == Walk::Normalize && listedWhole && !ResetAttributes(folder)) {
            result = 0; // its own final action: silent
        }
        CloseHandle(folder);
    }
    bool succeeded = false;
    if (state.walk == Walk::Delete) {
        // A subfolder that stays behind is not traced here; what inside it
        // failed has its own lines. One that holds the program's own file
        // goes at the end of the top folder's walk.
        if (HoldsOwnFile(entry, state.own)) {
            succeeded = listedWhole && result == 1;
        } else if (listedWhole) {
            succeeded = DeleteEmptiedFolder(state.run, parent.folder, entry, state.volume, result == 1) && result == 1;
        }
    } else if (ActOnListedEntry(state.run, parent.folder, entry, EntryAction::Reset, state.volume)) {
        succeeded = result == 1;
    } else {
        TraceFailure(EntryNotNormalizedPrefix, ListedName(entry));
    }
    if (!succeeded) {
        parent.result = 0;
    }
}

// Acts on one listed entry of the deepest level: a subfolder is entered (the
// walk goes on in it), anything else reset or deleted at once.
void ActOnEntry(WalkState& state, const FILE_ID_BOTH_DIR_INFO& entry)
{
    Level& level = state.levels.back();
    const std::wstring name = ListedName(entry);
    if (IsDotEntry(name) || IsOwnFile(entry, state.own)) {
        return;
    }
    if (state.levels.size() == 1 && IsLastFile(entry, name, state.lastFile)) {
        state.lastEntry = CopyOfRecord(entry);
        return;
    }
    if (IsFolder(entry.FileAttributes) && !IsLink(entry.FileAttributes)) {
        HANDLE subfolder = OpenListedFolder(level.folder, entry);
        if (subfolder == INVALID_HANDLE_VALUE && GetLastError() == ERROR_DELETE_PENDING) {
            return; // deleted already, empty; listed only while another program holds it
        }
        // Shown as its parent is, one backslash (added even after one the
        // caller wrote), its name.
        state.shown += L"\\" + name;
        if (subfolder != INVALID_HANDLE_VALUE && EnterLevel(state, subfolder, CopyOfRecord(entry))) {
            return;
        }
        if (subfolder == INVALID_HANDLE_VALUE) {
            TraceFailure(SearchFailedPrefix, state.shown);
        }
        state.shown.resize(level.shownLength);
        FinishSubfolder(state, entry, subfolder, false, 0);
        return;
    }
    bool succeeded = true;
    if (state.walk == Walk::Delete) {
        if (!DeleteListedEntry(state.run, level.folder, entry, state.volume)) {
            TraceFailure(EntryNotDeletedPrefix, name);
            succeeded = false;
        }
    } else if (!IsLink(entry.FileAttributes) &&
               !ActOnListedEntry(state.run, level.folder, entry, EntryAction::Reset, state.volume)) {
        TraceFailure(EntryNotNormalizedPrefix, name); // links are left as they are
        succeeded = false;
    }
    if (!succeeded) {
        level.result = 0;
    }
}

// The deepest level's listing has ended: traced when it ended in an error,
// then left; a subfolder is then finished in its parent.
void LeaveLevel(WalkState& state, bool& listedWhole, int& result)
{
    Level level = std::move(state.levels.back());
    state.levels.pop_back();
    listedWhole = level.listingError == ERROR_NO_MORE_FILES;
    result = listedWhole ? level.result : 0;
    if (!listedWhole) {
        TraceFailure(state.walk == Walk::Normalize ? NormalizeListingFailedPrefix : DeleteListingFailedPrefix,
                     state.shown);
    }
    if (state.levels.empty()) {
        return; // the top folder: its handle is the caller's
    }
    state.shown.resize(state.levels.back().shownLength);
    FinishSubfolder(state, RecordIn(level.record), level.folder, listedWhole, result);
}

// Walks the tree of the open top folder, which lies on the state's volume,
// depth first, each folder's entries in the order it lists them; the file
// kept for last and the program's own file with its folders are left in
// place (the state then holds the kept file's record). result becomes 1
// when every entry went well, 0 otherwise. False, traced, when the top
// folder could not be listed whole.
bool WalkTree(HANDLE top, WalkState& state, int& result)
{
    result = 0;
    if (top == INVALID_HANDLE_VALUE) {
        TraceFailure(SearchFailedPrefix, state.shown);
        return false;
    }
    if (!EnterLevel(state, top, ListingBuffer())) {
        return false;
    }
    bool listedWhole = false;
    while (!state.levels.empty()) {
        const FILE_ID_BOTH_DIR_INFO* entry = NextEntry(state.levels.back());
        if (entry != nullptr) {
            ActOnEntry(state, *entry);
        } else {
            LeaveLevel(state, listedWhole, result);
        }
    }
    return listedWhole;
}

// The normalize walk on a top folder opened to be removed; the folder stays
// open. Its own final action, like a subfolder's, is silent.
int NormalizeOpenedFolder(RunState& run, HANDLE folder, const std::wstring& shown)
{
    const OwnFileInside nothingKept;
    WalkState state{run, Walk::Normalize, shown, {}, std::wstring(), {}, nothingKept, 0};
    int result = 0;
    const bool listedWhole = WalkTree(folder, state, result);
    return listedWhole && ResetAttributes(folder) ? result : 0;
}

// The delete walk on a top folder opened to be removed, which the open
// parent listed (listedIn, its record there); it closes the folder. The
// emptied folder is then deleted through the parent, only while it is still
// the folder walked. When the walk left something for last (the kept file,
// the program's own file), the top folder's deletion is the last step: left,
// when given, then describes it for the caller, and it is done here
// otherwise.
int DeleteOpenedFolder(RunState& run, HANDLE folder, const std::wstring& shown, const std::wstring& lastFile,
                       HANDLE parent, const FILE_ID_BOTH_DIR_INFO* listedIn, LeftForLast* left)
{
    OwnFileInside own;
    const DWORD volume = folder != INVALID_HANDLE_VALUE ? VolumeOf(folder) : 0;
    if (folder != INVALID_HANDLE_VALUE) {
        LocateInside(folder, StartedProgramFile(run), own); // left empty when it lies elsewhere
    }
    WalkState state{run, Walk::Delete, shown, {}, lastFile, {}, own, volume};
    int result = 0;
    const bool listedWhole = WalkTree(folder, state, result);
    if (folder == INVALID_HANDLE_VALUE) {
        return 0;
    }
    CloseHandle(folder);
    if (!listedWhole) {
        return 0;
    }
    if (state.lastEntry.empty() && own.fileId == 0) {
        return DeleteEmptiedFolder(run, parent, *listedIn, volume, result == 1) ? result : 0;
    }
    if (result != 1) {
        return 0; // what was left for last stays, for the next run
    }
    LeftForLast last;
    if (!DuplicateHandle(GetCurrentProcess(), parent, GetCurrentProcess(), &last.parent, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return 0;
    }
    last.top = CopyOfRecord(*listedIn);
    last.shown = shown;
    last.lastFile = lastFile;
    last.lastEntry = std::move(state.lastEntry);
    last.own = own;
    last.volume = volume;
    if (left != nullptr) {
        *left = std::move(last);
        return 1;
    }
    return RemoveWhatWasLeftForLast(run, last) ? 1 : 0;
}

// A directory link is removed as a folder, a file link as a file; neither
// call touches what the link points at.
bool RemoveLinkItself(const std::wstring& path, DWORD attributes)
{
    return (IsFolder(attributes) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) != FALSE;
}

// The folder at path as its parent lists it: the parent opened wherever
// links above lead, the folder's record there, and the folder itself opened
// through the parent (INVALID_HANDLE_VALUE when it is not there, is no
// folder or a link). The caller closes both.
HANDLE OpenThroughParent(const std::wstring& path, HANDLE& parent, ListingBuffer& record)
{
    std::wstring name;
    parent = OpenParentOf(path, name);
    DWORD error = ERROR_SUCCESS;
    if (parent == INVALID_HANDLE_VALUE || !ListNamedEntry(parent, name, record, error)) {
        record.clear();
        return INVALID_HANDLE_VALUE;
    }
    const DWORD attributes = RecordIn(record).FileAttributes;
    return IsFolder(attributes) && !IsLink(attributes) ? OpenListedFolder(parent, RecordIn(record))
                                                       : INVALID_HANDLE_VALUE;
}

void CloseIfOpen(HANDLE handle)
{
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
}

// The delete walk, after the normalize walk when asked, on the folder at
// path opened through its parent, as a run of its own, finished at once.
int WalkThroughParent(const std::wstring& folder, const std::wstring& lastFile, bool normalizeFirst)
{
    RunState run;
    HANDLE parent = INVALID_HANDLE_VALUE;
    ListingBuffer record;
    HANDLE opened = OpenThroughParent(folder, parent, record);
    if (normalizeFirst) {
        NormalizeOpenedFolder(run, opened, folder);
    }
    const FILE_ID_BOTH_DIR_INFO* listed = record.empty() ? nullptr : &RecordIn(record);
    const int result = DeleteOpenedFolder(run, opened, folder, lastFile, parent, listed, nullptr);
    CloseIfOpen(parent);
    return result;
}

} // namespace

bool DeleteEmptiedFolder(RunState& run, HANDLE parent, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume,
                         bool waitForHeld)
{
    while (!ActOnListedEntry(run, parent, entry, EntryAction::Delete, volume)) {
        if (!waitForHeld || GetLastError() != ERROR_DIR_NOT_EMPTY || !PauseForHeldEntries(run)) {
            return false;
        }
    }
    return true;
}

bool AwaitOnlyLastLeft(RunState& run, HANDLE folder, const std::wstring& lastFile, const OwnFileInside& own)
{
    for (;;) {
        bool othersListed = false;
        ListingBuffer batch;
        DWORD error = ERROR_NO_MORE_FILES;
        for (bool listed = ReadListing(folder, batch, true, error); listed && !othersListed;
             listed = ReadListing(folder, batch, false, error)) {
            for (auto entry = &RecordIn(batch); entry != nullptr && !othersListed; entry = NextRecord(entry)) {
                const std::wstring name = ListedName(*entry);
                othersListed = !IsDotEntry(name) && !IsLastFile(*entry, name, lastFile) && !IsOwnFile(*entry, own) &&
                               !HoldsOwnFile(*entry, own);
            }
        }
        if (!othersListed && error == ERROR_NO_MORE_FILES) {
            return true;
        }
        if (!PauseForHeldEntries(run)) {
            return false;
        }
    }
}

int NormalizeTree(const std::wstring& folder)
{
    RunState run;
    HANDLE opened = OpenFolderToRemove(folder);
    const int result = NormalizeOpenedFolder(run, opened, folder);
    CloseIfOpen(opened);
    return result;
}

int DeleteTree(const std::wstring& folder, const std::wstring& lastFile)
{
    return WalkThroughParent(folder, lastFile, false);
}

bool RemoveOpenedListedFolder(RunState& run, HANDLE parent, const FILE_ID_BOTH_DIR_INFO& entry, HANDLE folder,
                              const std::wstring& shown, const std::wstring& lastFile, LeftForLast* left)
{
    NormalizeOpenedFolder(run, folder, shown);
    return DeleteOpenedFolder(run, folder, shown, lastFile, parent, &entry, left) == 1;
}

bool RemoveListedFolder(RunState& run, HANDLE parent, const FILE_ID_BOTH_DIR_INFO& entry, const std::wstring& shown,
                        LeftForLast* left)
{
    if (IsLink(entry.FileAttributes)) {
        return DeleteListedEntry(run, parent, entry, VolumeOf(parent));
    }
    HANDLE folder = IsFolder(entry.FileAttributes) ? OpenListedFolder(parent, entry) : INVALID_HANDLE_VALUE;
    return RemoveOpenedListedFolder(run, parent, entry, folder, shown, std::wstring(), left);
}

bool RemoveFolder(const std::wstring& folder, const std::wstring& lastFile)
{
    const std::wstring extended = ExtendedPathOf(folder);
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true; // nothing there
    }
    if (IsLink(attributes)) {
        return RemoveLinkItself(extended, attributes);
    }
    return WalkThroughParent(folder, lastFile, true) == 1;
}
