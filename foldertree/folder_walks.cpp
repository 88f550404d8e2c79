#include "foldertree/folder_walks.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

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

int WalkFolder(const std::wstring& folder, Walk walk);

bool NormalizeEntry(const std::wstring& child, const WIN32_FIND_DATAW& entry)
{
    if (IsLink(entry.dwFileAttributes)) {
        return true;
    }
    bool succeeded = true;
    if (IsFolder(entry.dwFileAttributes) && WalkFolder(child, Walk::Normalize) == 0) {
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

bool DeleteEntry(const std::wstring& child, const WIN32_FIND_DATAW& entry)
{
    if (IsLink(entry.dwFileAttributes)) {
        if (RemoveLinkItself(child, entry.dwFileAttributes)) {
            return true;
        }
    } else if (IsFolder(entry.dwFileAttributes)) {
        // A subfolder that stays behind is not traced here; what inside it
        // failed has its own lines.
        return WalkFolder(child, Walk::Delete) != 0;
    } else if (DeleteFileW(child.c_str())) {
        return true;
    }
    TraceFailure(EntryNotDeletedPrefix, entry.cFileName);
    return false;
}

bool FinishFolder(const std::wstring& folder, Walk walk)
{
    if (walk == Walk::Normalize) {
        return SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE;
}

// The folder path is used exactly as given: the separator is added even when
// the path already ends in one.
int WalkFolder(const std::wstring& folder, Walk walk)
{
    WIN32_FIND_DATAW entry;
    const std::wstring pattern = folder + L"\\*.*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        TraceFailure(SearchFailedPrefix, folder);
        return 0;
    }

    int result = 1;
    do {
        if (IsDotEntry(entry.cFileName)) {
            continue;
        }
        const std::wstring child = folder + L"\\" + entry.cFileName;
        const bool succeeded = walk == Walk::Normalize ? NormalizeEntry(child, entry) : DeleteEntry(child, entry);
        if (!succeeded) {
            result = 0;
        }
    } while (FindNextFileW(search, &entry));

    const DWORD enumerationError = GetLastError();
    FindClose(search);
    if (enumerationError != ERROR_NO_MORE_FILES) {
        TraceFailure(walk == Walk::Normalize ? NormalizeListingFailedPrefix : DeleteListingFailedPrefix, folder);
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
    return WalkFolder(folder, Walk::Normalize);
}

int DeleteTree(const std::wstring& folder)
{
    return WalkFolder(folder, Walk::Delete);
}

bool RemoveFolder(const std::wstring& folder)
{
    if (!PathFileExistsW(folder.c_str())) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes)) {
        return RemoveLinkItself(folder, attributes);
    }
    NormalizeTree(folder);
    return DeleteTree(folder) == 1;
}
