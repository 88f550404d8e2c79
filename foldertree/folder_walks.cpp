#include "foldertree/folder_walks.h"

#include <windows.h>

#include <cwchar>

#include "foldertree/full_path.h"
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

bool IsDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

bool IsLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A directory link is removed as a folder, a file link as a file; neither
// call touches what the link points at.
bool RemoveLinkItself(const std::wstring& path, DWORD attributes)
{
    return (IsFolder(attributes) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) != FALSE;
}

// An entry's path below a folder's extended-length path; only a drive root
// already ends in a separator.
std::wstring ChildPath(const std::wstring& folder, const wchar_t* name)
{
    return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// A subfolder as its trace line would show it: its parent as shown, one
// backslash (added even after one the caller wrote), its name.
std::wstring ShownChild(const std::wstring& shown, const wchar_t* name)
{
    return shown + L"\\" + name;
}

int WalkFolder(const std::wstring& folder, const std::wstring& shown, Walk walk, const std::wstring& lastFile);

bool NormalizeEntry(const std::wstring& folder, const std::wstring& shown, const WIN32_FIND_DATAW& entry)
{
    if (IsLink(entry.dwFileAttributes)) {
        return true;
    }
    const std::wstring child = ChildPath(folder, entry.cFileName);
    bool succeeded = true;
    if (IsFolder(entry.dwFileAttributes) &&
        WalkFolder(child, ShownChild(shown, entry.cFileName), Walk::Normalize, std::wstring()) == 0) {
        succeeded = false;
    }
    // A subfolder is reset here a second time: its own walk resets it
    // silently, or not at all when it could not be listed, and only this
    // reset names it in the trace when it fails.
    if (!SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        TraceFailure(EntryNotNormalizedPrefix, entry.cFileName);
        succeeded = false;
    }
    return succeeded;
}

bool DeleteEntry(const std::wstring& folder, const std::wstring& shown, const WIN32_FIND_DATAW& entry)
{
    const std::wstring child = ChildPath(folder, entry.cFileName);
    if (IsLink(entry.dwFileAttributes)) {
        if (RemoveLinkItself(child, entry.dwFileAttributes)) {
            return true;
        }
    } else if (IsFolder(entry.dwFileAttributes)) {
        // A subfolder that stays behind is not traced here; what inside it
        // failed has its own lines.
        return WalkFolder(child, ShownChild(shown, entry.cFileName), Walk::Delete, std::wstring()) != 0;
    } else if (DeleteFileW(child.c_str())) {
        return true;
    }
    TraceFailure(EntryNotDeletedPrefix, entry.cFileName);
    return false;
}

bool IsLastFile(const WIN32_FIND_DATAW& entry, const std::wstring& lastFile)
{
    return !lastFile.empty() && !IsFolder(entry.dwFileAttributes) && lastFile == entry.cFileName;
}

// The file kept for last goes only when nothing else is left; its line, when
// it cannot be deleted, comes after every other line of the walk.
bool DeleteLastFile(const std::wstring& folder, const std::wstring& lastFile)
{
    if (DeleteFileW(ChildPath(folder, lastFile.c_str()).c_str())) {
        return true;
    }
    TraceFailure(EntryNotDeletedPrefix, lastFile);
    return false;
}

bool FinishFolder(const std::wstring& folder, Walk walk)
{
    if (walk == Walk::Normalize) {
        return SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE;
}

// folder: the extended-length path the platform is called with; shown: the
// same folder as the trace lines show it.
int WalkFolder(const std::wstring& folder, const std::wstring& shown, Walk walk, const std::wstring& lastFile)
{
    WIN32_FIND_DATAW entry;
    // No path at all would make the pattern "\\*.*": the current drive's root.
    HANDLE search = folder.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(ChildPath(folder, L"*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        TraceFailure(SearchFailedPrefix, shown);
        return 0;
    }

    int result = 1;
    bool lastFileSeen = false;
    do {
        if (IsDotEntry(entry.cFileName)) {
            continue;
        }
        if (IsLastFile(entry, lastFile)) {
            lastFileSeen = true;
            continue;
        }
        const bool succeeded =
            walk == Walk::Normalize ? NormalizeEntry(folder, shown, entry) : DeleteEntry(folder, shown, entry);
        if (!succeeded) {
            result = 0;
        }
    } while (FindNextFileW(search, &entry));

    const DWORD enumerationError = GetLastError();
    FindClose(search);
    if (enumerationError != ERROR_NO_MORE_FILES) {
        TraceFailure(walk == Walk::Normalize ? NormalizeListingFailedPrefix : DeleteListingFailedPrefix, shown);
        return 0;
    }
    if (lastFileSeen && (result == 0 || !DeleteLastFile(folder, lastFile))) {
        return 0;
    }
    if (!FinishFolder(folder, walk)) {
        return 0;
    }
    return result;
}

} // namespace

int NormalizeTree(const std::wstring& folder)
{
    return WalkFolder(ExtendedPathOf(folder), folder, Walk::Normalize, std::wstring());
}

int DeleteTree(const std::wstring& folder, const std::wstring& lastFile)
{
    return WalkFolder(ExtendedPathOf(folder), folder, Walk::Delete, lastFile);
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
    WalkFolder(extended, folder, Walk::Normalize, std::wstring());
    return WalkFolder(extended, folder, Walk::Delete, lastFile) == 1;
}
