#include "app/install_folder_guard.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/folder_identity.h"
#include "app/protected_folders.h"

namespace {

// The final path of the folder that holds the file: the file's own final
// path without its last component.
std::wstring FinalParentOf(const std::wstring& fileFinalPath)
{
    const size_t separator = fileFinalPath.rfind(L'\\');
    if (separator == std::wstring::npos) {
        return L"";
    }
    // A file at the top of a drive: its folder is the root, with its backslash.
    return fileFinalPath.substr(0, separator == 2 ? 3 : separator);
}

// A protected folder's final path; one that cannot be opened is compared by
// its full path text instead, so that it still counts.
std::wstring ProtectedFinalPath(const std::wstring& path)
{
    std::wstring finalPath;
    if (FinalPathOf(path, finalPath)) {
        return finalPath;
    }
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}

bool HoldsProtectedFolder(const std::wstring& folderFinalPath)
{
    const std::vector<std::wstring> guarded = ProtectedFolders();
    return std::any_of(guarded.begin(), guarded.end(), [&folderFinalPath](const std::wstring& path) {
        const std::wstring protectedPath = ProtectedFinalPath(path);
        return !protectedPath.empty() && IsSameOrAncestor(folderFinalPath, protectedPath);
    });
}

} // namespace

bool MayRemoveInstallFolder(const std::wstring& location, const std::wstring& folder)
{
    // "X:\..." only: not relative, drive-relative ("C:", "C:sub"),
    // root-relative ("\sub"), a device path or a network path (a folder on
    // another machine cannot be told apart from that machine's own user
    // folders); and not a drive root as written.
    if (!IsOnDriveLetter(folder) || folder.size() <= 3) {
        return false;
    }
    std::wstring fileFinalPath;
    DWORD fileAttributes = 0;
    if (!IdentifyPath(location, fileFinalPath, fileAttributes) || (fileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    std::wstring folderFinalPath;
    if (!FinalPathOf(folder, folderFinalPath) || !IsOnDriveLetter(folderFinalPath)) {
        return false;
    }
    // Same object, same final path: the text must match exactly.
    if (FinalParentOf(fileFinalPath) != folderFinalPath) {
        return false;
    }
    if (folderFinalPath.size() <= 3) {
        return false; // a drive root once aliases are resolved
    }
    return !HoldsProtectedFolder(folderFinalPath);
}
