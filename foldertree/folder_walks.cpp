#include "foldertree/folder_walks.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "foldertree/full_path.h"
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

// A subfolder as its trace line would show it: its parent as shown, one
// backslash (added even after one the caller wrote), its name.
std::wstring ShownChild(const std::wstring& shown, const std::wstring& name)
{
    return shown + L"\\" + name;
}

// Deletes a listed file, or a link as itself (never what it points at).
bool DeleteListedEntry(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    if (!IsFolder(entry.FileAttributes) && !IsLink(entry.FileAttributes)) {
        return DeleteListedFile(folder, entry);
    }
    HANDLE opened = OpenListedEntry(folder, entry, DELETE);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool marked = MarkForDeletion(opened);
    CloseHandle(opened); // the deletion happens here
    return marked;
}

bool ResetListedEntry(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    HANDLE opened = OpenListedEntry(folder, entry, FILE_WRITE_ATTRIBUTES);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool reset = ResetAttributes(opened);
    CloseHandle(opened);
    return reset;
}

// What a walk leaves for last: the file named for last (by name, directly
// in the top folder) and the program's own file with its folders.
bool WalkEntries(HANDLE folder, const std::wstring& shown, Walk walk, const std::wstring& lastFile,
                 const OwnFileInside& own, int& result);

bool HoldsOwnFile(const FILE_ID_BOTH_DIR_INFO& entry, const OwnFileInside& own)
{
    return std::find(own.folderIds.begin(), own.folderIds.end(), entry.FileId.QuadPart) != own.folderIds.end();
}

bool IsOwnFile(const FILE_ID_BOTH_DIR_INFO& entry, const OwnFileInside& own)
{
    return own.fileId != 0 && !IsFolder(entry.FileAttributes) && entry.FileId.QuadPart == own.fileId;
}

// A listed subfolder, walked through a handle of its own that stays open
// until its walk is done, then reset (normalize) or deleted (delete)
// through its parent. One that cannot be opened as the folder listed (gone,
// swapped, turned into a link) is never entered and shows as a folder that
// cannot be listed; the normalize walk still resets it when it is the
// folder listed (another program may hold it open without sharing), and
// only that reset is traced.
bool WalkSubfolder(HANDLE folder, const std::wstring& shown, const FILE_ID_BOTH_DIR_INFO& entry, Walk walk,
                   const OwnFileInside& own)
{
    const std::wstring name = ListedName(entry);
    HANDLE subfolder = OpenListedFolder(folder, entry);
    int result = 0;
    bool listedWhole = false;
    if (subfolder == INVALID_HANDLE_VALUE) {
        TraceFailure(SearchFailedPrefix, ShownChild(shown, name));
    } else {
        listedWhole = WalkEntries(subfolder, ShownChild(shown, name), walk, std::wstring(), own, result);
        if (walk == Walk::Normalize && listedWhole && !ResetAttributes(subfolder)) {
            result = 0; // its own final action: silent
        }
        CloseHandle(subfolder);
    }
    if (walk == Walk::Delete) {
        // A subfolder that stays behind is not traced here; what inside it
        // failed has its own lines. One that holds the program's own file
        // goes at the end of the top folder's walk.
        if (HoldsOwnFile(entry, own)) {
            return listedWhole && result == 1;
        }
        return listedWhole && DeleteListedEntry(folder, entry) && result == 1;
    }
    if (!ResetListedEntry(folder, entry)) {
        TraceFailure(EntryNotNormalizedPrefix, name);
        return false;
    }
    return result == 1;
}

bool NormalizeEntry(HANDLE folder, const std::wstring& shown, const FILE_ID_BOTH_DIR_INFO& entry)
{
    if (IsLink(entry.FileAttributes)) {
        return true; // links are left as they are
    }
    if (IsFolder(entry.FileAttributes)) {
        return WalkSubfolder(folder, shown, entry, Walk::Normalize, OwnFileInside());
    }
    if (ResetListedEntry(folder, entry)) {
        return true;
    }
    TraceFailure(EntryNotNormalizedPrefix, ListedName(entry));
    return false;
}

bool DeleteEntry(HANDLE folder, const std::wstring& shown, const FILE_ID_BOTH_DIR_INFO& entry, const OwnFileInside& own)
{
    if (IsFolder(entry.FileAttributes) && !IsLink(entry.FileAttributes)) {
        return WalkSubfolder(folder, shown, entry, Walk::Delete, own);
    }
    if (DeleteListedEntry(folder, entry)) {
        return true;
    }
    TraceFailure(EntryNotDeletedPrefix, ListedName(entry));
    return false;
}

bool IsLastFile(const FILE_ID_BOTH_DIR_INFO& entry, const std::wstring& name, const std::wstring& lastFile)
{
    return !lastFile.empty() && !IsFolder(entry.FileAttributes) && lastFile == name;
}

// The file kept for last goes only when nothing else is left; its line, when
// it cannot be deleted, comes after every other line of the walk.
bool DeleteLastFile(HANDLE folder, const ListingBuffer& lastEntry, const std::wstring& lastFile)
{
    if (DeleteListedEntry(folder, *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(lastEntry.data()))) {
        return true;
    }
    TraceFailure(EntryNotDeletedPrefix, lastFile);
    return false;
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

// Lists the open folder through its handle and acts on every entry, the
// file kept for last at the end; result becomes 1 when every entry went
// well, 0 otherwise. False, traced, when the folder could not be listed
// whole: its own final action is then not attempted.
bool WalkEntries(HANDLE folder, const std::wstring& shown, Walk walk, const std::wstring& lastFile,
                 const OwnFileInside& own, int& result)
{
    result = 0;
    ListingBuffer batch;
    DWORD listingError = ERROR_NO_MORE_FILES;
    bool listed = folder != INVALID_HANDLE_VALUE && ReadListing(folder, batch, true, listingError);
    if (!listed && (folder == INVALID_HANDLE_VALUE || listingError != ERROR_NO_MORE_FILES)) {
        TraceFailure(SearchFailedPrefix, shown);
        return false;
    }

    result = 1;
    ListingBuffer lastEntry;
    while (listed) {
        for (auto entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(batch.data()); entry != nullptr;
             entry = NextRecord(entry)) {
            const std::wstring name = ListedName(*entry);
            if (IsDotEntry(name) || IsOwnFile(*entry, own)) {
                continue;
            }
            if (IsLastFile(*entry, name, lastFile)) {
                lastEntry = CopyOfRecord(*entry);
                continue;
            }
            const bool succeeded = walk == Walk::Normalize ? NormalizeEntry(folder, shown, *entry)
                                                           : DeleteEntry(folder, shown, *entry, own);
            if (!succeeded) {
                result = 0;
            }
        }
        listed = ReadListing(folder, batch, false, listingError);
    }

    if (listingError != ERROR_NO_MORE_FILES) {
        TraceFailure(walk == Walk::Normalize ? NormalizeListingFailedPrefix : DeleteListingFailedPrefix, shown);
        result = 0;
        return false;
    }
    if (!lastEntry.empty() && (result == 0 || !DeleteLastFile(folder, lastEntry, lastFile))) {
        result = 0;
    }
    return true;
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
    const bool listedWhole = WalkEntries(folder, shown, Walk::Normalize, std::wstring(), OwnFileInside(), result);
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
    const bool listedWhole = WalkEntries(folder, shown, Walk::Delete, lastFile, own, result);
    if (folder == INVALID_HANDLE_VALUE) {
        return 0;
    }
    if (ownInside && listedWhole && result == 1) {
        result = MoveOwnFileAside(own) ? 1 : 0;
    }
    const LONGLONG walkedId = FileIdOf(folder);
    CloseHandle(folder);
    return listedWhole && DeleteIfSameObject(shown, walkedId) ? result : 0;
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
