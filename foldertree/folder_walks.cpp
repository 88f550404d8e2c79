#include "foldertree/folder_walks.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "foldertree/full_path.h"
#include "foldertree/held_entries.h"
#include "foldertree/open_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/trace.h"

namespace {

// The trace prefixes, each kept exactly as it is, misspellings included:
// tools that watch the debug output match these lines to the letter.
constexpr wchar_t SearchFailedPrefix[] = L"FindFirstFile failed : ";
constexpr wchar_t EntryNotNormalizedPrefix[] = L"Normalize falied : "; // "falied": do not correct
constexpr wchar_t NormalizeListingFailedPrefix[] = L"Normalize failed : ";
constexpr wchar_t EntryNotDeletedPrefix[] = L"Delete falied : "; // "falied": do not correct
constexpr wchar_t DeleteListingFailedPrefix[] = L"Delete failed : ";

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

// Resets or deletes a listed entry (a link as itself) through an open that
// is checked to reach the object listed. GetLastError tells why it failed.
bool ActOnListedEntry(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, EntryAction action)
{
    HANDLE opened = OpenListedEntry(folder, entry, action == EntryAction::Reset ? FILE_WRITE_ATTRIBUTES : DELETE);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool done = action == EntryAction::Reset ? ResetAttributes(opened) : MarkForDeletion(opened);
    const DWORD error = GetLastError();
    CloseHandle(opened); // a deletion happens here
    SetLastError(error);
    return done;
}

// Deletes a listed file, or a link as itself (never what it points at).
bool DeleteListedEntry(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    if (!IsFolder(entry.FileAttributes) && !IsLink(entry.FileAttributes)) {
        return DeleteListedFile(folder, entry);
    }
    return ActOnListedEntry(folder, entry, EntryAction::Delete);
}

// Deletes a subfolder whose content has all been deleted. Entries deleted
// while another program held them may still be listed in it, and keep it
// from going (see held_entries.h): it is tried again, each time through a
// fresh checked open, until they have gone or the run's patience is spent.
bool DeleteEmptiedSubfolder(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    while (!ActOnListedEntry(folder, entry, EntryAction::Delete)) {
        if (GetLastError() != ERROR_DIR_NOT_EMPTY || !PauseForHeldEntries()) {
            return false;
        }
    }
    return true;
}

// The top folder, emptied and closed, deleted through its path while that
// still leads to the folder walked; tried again as a subfolder is.
bool DeleteEmptiedTop(const std::wstring& shown, LONGLONG walkedId)
{
    while (!DeleteIfSameObject(shown, walkedId)) {
        if (GetLastError() != ERROR_DIR_NOT_EMPTY || !PauseForHeldEntries()) {
            return false;
        }
    }
    return true;
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

const FILE_ID_BOTH_DIR_INFO* NextRecord(const FILE_ID_BOTH_DIR_INFO* entry)
{
    if (entry->NextEntryOffset == 0) {
        return nullptr;
    }
    return reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<const char*>(entry) +
                                                          entry->NextEntryOffset);
}

const FILE_ID_BOTH_DIR_INFO& RecordIn(const ListingBuffer& buffer)
{
    return *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data());
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
// lines show it), the levels, the file kept for last and the program's own
// file.
struct WalkState {
    Walk walk;
    std::wstring shown;
    std::vector<Level> levels;
    std::wstring lastFile;
    ListingBuffer lastEntry;
    const OwnFileInside& own;
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
            succeeded = (result == 1 ? DeleteEmptiedSubfolder(parent.folder, entry)
                                     : DeleteListedEntry(parent.folder, entry)) &&
                        result == 1;
        }
    } else if (ActOnListedEntry(parent.folder, entry, EntryAction::Reset)) {
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
        if (!DeleteListedEntry(level.folder, entry)) {
            TraceFailure(EntryNotDeletedPrefix, name);
            succeeded = false;
        }
    } else if (!IsLink(entry.FileAttributes) && !ActOnListedEntry(level.folder, entry, EntryAction::Reset)) {
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

// Waits until the open folder lists nothing but what the walk leaves for
// last (the file kept for last, the program's own file and its folders):
// the rest was deleted, but some of it may still be listed while another
// program holds it. False when the run's patience is spent first.
bool AwaitOnlyLastLeft(HANDLE folder, const std::wstring& lastFile, const OwnFileInside& own)
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
        if (!PauseForHeldEntries()) {
            return false;
        }
    }
}

// Walks the tree of the open top folder, depth first, each folder's entries
// in the order it lists them, and the file kept for last at the end, once
// everything else has gone; result becomes 1 when every entry went well, 0
// otherwise. False, traced, when the top folder could not be listed whole:
// its own final action is then not attempted.
bool WalkTree(HANDLE top, const std::wstring& shown, Walk walk, const std::wstring& lastFile, const OwnFileInside& own,
              int& result)
{
    result = 0;
    WalkState state{walk, shown, {}, lastFile, {}, own};
    if (top == INVALID_HANDLE_VALUE) {
        TraceFailure(SearchFailedPrefix, shown);
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
    if (listedWhole && !state.lastEntry.empty()) {
        const FILE_ID_BOTH_DIR_INFO& last = RecordIn(state.lastEntry);
        if (result == 0 || !AwaitOnlyLastLeft(top, lastFile, own)) {
            result = 0;
        } else if (!DeleteListedEntry(top, last)) {
            // Its line comes after every other line of the walk.
            TraceFailure(EntryNotDeletedPrefix, lastFile);
            result = 0;
        }
    }
    return listedWhole;
}

// Everything else has gone: the program's own file is moved out, then the
// folders that held it are deleted, deepest first, while each is still the
// folder located. A file that cannot be moved is traced as one that cannot
// be deleted, and its folders stay.
bool MoveOwnFileAside(const OwnFileInside& own)
{
    if (!MoveAside(own)) {
        TraceFailure(EntryNotDeletedPrefix, own.finalPath.substr(own.finalPath.rfind(L'\\') + 1));
        return false;
    }
    bool removed = true;
    for (size_t folder = 0; folder < own.folderPaths.size(); ++folder) {
        removed = DeleteIfSameObject(own.folderPaths[folder], own.folderIds[folder]) && removed;
    }
    return removed;
}

// The normalize walk on a top folder opened with OpenFolderToRemove; the
// folder stays open. Its own final action, like a subfolder's, is silent.
int NormalizeOpenedFolder(HANDLE folder, const std::wstring& shown)
{
    int result = 0;
    const bool listedWhole = WalkTree(folder, shown, Walk::Normalize, std::wstring(), OwnFileInside(), result);
    return listedWhole && ResetAttributes(folder) ? result : 0;
}

// The delete walk on a top folder opened with OpenFolderToRemove, which it
// closes: the emptied folder is then deleted through its path, and only
// while that still leads to the folder walked.
int DeleteOpenedFolder(HANDLE folder, const std::wstring& shown, const std::wstring& lastFile)
{
    OwnFileInside own;
    const bool ownInside = folder != INVALID_HANDLE_VALUE && LocateInside(folder, OwnFilePath(), own);
    int result = 0;
    const bool listedWhole = WalkTree(folder, shown, Walk::Delete, lastFile, own, result);
    if (folder == INVALID_HANDLE_VALUE) {
        return 0;
    }
    if (ownInside && listedWhole && result == 1) {
        result = MoveOwnFileAside(own) ? 1 : 0;
    }
    const LONGLONG walkedId = FileIdOf(folder);
    CloseHandle(folder);
    if (!listedWhole) {
        return 0;
    }
    return (result == 1 ? DeleteEmptiedTop(shown, walkedId) : DeleteIfSameObject(shown, walkedId)) ? result : 0;
}

// A process's working folder cannot be removed while it runs, nor any
// folder above it: the program leaves for one that is never removed. Where
// it was started mattered only for judging a relative location, which is
// done by now.
void LeaveForTheSystemFolder()
{
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        SetCurrentDirectoryW(system);
    }
}

// A directory link is removed as a folder, a file link as a file; neither
// call touches what the link points at.
bool RemoveLinkItself(const std::wstring& path, DWORD attributes)
{
    return (IsFolder(attributes) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) != FALSE;
}

} // namespace

int NormalizeTree(const std::wstring& folder)
{
    HANDLE opened = OpenFolderToRemove(folder);
    const int result = NormalizeOpenedFolder(opened, folder);
    if (opened != INVALID_HANDLE_VALUE) {
        CloseHandle(opened);
    }
    return result;
}

int DeleteTree(const std::wstring& folder, const std::wstring& lastFile)
{
    return DeleteOpenedFolder(OpenFolderToRemove(folder), folder, lastFile);
}

bool IsLinkAt(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(ExtendedPathOf(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes);
}

bool RemoveOpenedFolder(HANDLE folder, const std::wstring& shown, const std::wstring& lastFile)
{
    LeaveForTheSystemFolder();
    NormalizeOpenedFolder(folder, shown);
    return DeleteOpenedFolder(folder, shown, lastFile) == 1;
}

bool RemoveFolderFromRoot(const std::wstring& folder, bool& linkAbove)
{
    HANDLE parent = OpenParentFromRoot(folder, linkAbove);
    if (parent == INVALID_HANDLE_VALUE) {
        return !linkAbove; // nothing there, unless a link was
    }
    const std::wstring full = FullPathOf(folder);
    ListingBuffer record;
    bool removed = true; // nothing there
    if (ListNamedEntry(parent, full.substr(full.rfind(L'\\') + 1), record)) {
        const FILE_ID_BOTH_DIR_INFO& entry = RecordIn(record);
        if (IsLink(entry.FileAttributes)) {
            removed = DeleteListedEntry(parent, entry);
        } else {
            const bool isFolder = IsFolder(entry.FileAttributes);
            removed = RemoveOpenedFolder(isFolder ? OpenListedFolder(parent, entry) : INVALID_HANDLE_VALUE, folder,
                                         std::wstring());
        }
    }
    CloseHandle(parent);
    return removed;
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
    return RemoveOpenedFolder(OpenFolderToRemove(folder), folder, lastFile);
}
