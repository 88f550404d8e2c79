#include "guard/install_folder_guard.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "foldertree/full_path.h"
#include "foldertree/open_folder.h"
#include "guard/folder_identity.h"
#include "guard/installed_programs.h"
#include "guard/path_text.h"
#include "guard/protected_folders.h"

namespace {

// The path without its last component; a drive root keeps its backslash.
// Empty for a path with no folder part, or a drive root itself.
std::wstring ParentOf(const std::wstring& path)
{
    const size_t separator = path.rfind(L'\\');
    if (separator == std::wstring::npos || path.size() <= 3) {
        return L"";
    }
    return path.substr(0, separator == 2 ? 3 : separator);
}

// A protected folder's final path; one that cannot be opened is compared by
// its full path text instead, so that it still counts.
std::wstring ProtectedFinalPath(const std::wstring& path)
{
    std::wstring finalPath;
    DWORD attributes = 0;
    return IdentifyPath(path, finalPath, attributes) ? finalPath : FullPathOf(path);
}

bool HoldsProtectedFolder(const std::wstring& folderFinalPath)
{
    const std::vector<std::wstring> guarded = ProtectedFolders();
    return std::any_of(guarded.begin(), guarded.end(), [&folderFinalPath](const std::wstring& path) {
        const std::wstring protectedPath = ProtectedFinalPath(path);
        return !protectedPath.empty() && IsSameOrAncestor(folderFinalPath, protectedPath);
    });
}

// The Windows folder itself, and anything in it in either view (System32,
// SysWOW64, the native System32 through Sysnative): no launcher lives there.
bool LiesInTheWindowsFolder(const std::wstring& folderFinalPath)
{
    const std::wstring windows = ProtectedFinalPath(WindowsFolder());
    return !windows.empty() && IsSameOrAncestor(windows, folderFinalPath);
}

// Final paths of parent folders already identified, by their full path.
using IdentifiedParents = std::map<std::wstring, std::wstring>;

// True when the program folder at location is an existing folder strictly
// inside the folder with this final path. Programs crowd a few parents
// (Program Files, a games library), and opening each program's folder costs
// far more than reading its attributes; a folder that is not a link lies
// where its parent's final path says, so only the parent is identified, once.
// A program folder that is itself a link is identified on its own.
bool IsProgramInside(const std::wstring& folderFinalPath, const std::wstring& location, IdentifiedParents& parents)
{
    const std::wstring full = FullPathOf(location);
    const DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false; // a stale entry, or not a folder
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        std::wstring finalPath;
        DWORD finalAttributes = 0;
        return IdentifyPath(full, finalPath, finalAttributes) && IsStrictAncestor(folderFinalPath, finalPath);
    }
    const std::wstring parent = ParentOf(full);
    if (parent.empty()) {
        return false; // a drive root lies inside nothing
    }
    auto known = parents.find(parent);
    if (known == parents.end()) {
        std::wstring parentFinalPath;
        DWORD parentAttributes = 0;
        IdentifyPath(parent, parentFinalPath, parentAttributes); // empty when it cannot be
        known = parents.emplace(parent, parentFinalPath).first;
    }
    // Strictly inside the folder: its parent is the folder or below it. The
    // launcher's own entry, the folder itself, has a parent above it.
    return !known->second.empty() && IsSameOrAncestor(folderFinalPath, known->second);
}

// Another installed program lives below this folder. An entry that names
// this folder itself is the launcher's own, and one beside or above it is
// not inside it; entries whose folder does not exist are stale.
bool HoldsAnotherProgram(const std::wstring& folderFinalPath)
{
    IdentifiedParents parents;
    const std::vector<std::wstring> programs = InstalledProgramFolders();
    return std::any_of(programs.begin(), programs.end(), [&](const std::wstring& location) {
        return IsProgramInside(folderFinalPath, location, parents);
    });
}

// Nothing at all is at the path; any other failure to reach it is not
// taken for absence.
bool IsMissing(const std::wstring& path)
{
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The launcher's default folder goes in any case, so it needs no named
// file: the same object (id and volume) as the one its descent holds.
bool IsTheDefaultFolder(HANDLE opened, HANDLE defaultFolder)
{
    return defaultFolder != INVALID_HANDLE_VALUE && IsSameObject(opened, defaultFolder);
}

// The file location names must be in the folder, and so tells the folder
// apart from any other; its name is handed back as the folder lists it. In
// the launcher's default folder it may be missing (an earlier run that
// failed took it), since that folder goes anyway.
bool IsFolderOfTheNamedFile(const std::wstring& location, const std::wstring& folderFinalPath, HANDLE opened,
                            HANDLE defaultFolder, std::wstring& namedFile)
{
    std::wstring fileFinalPath;
    DWORD fileAttributes = 0;
    if (!IdentifyPath(location, fileFinalPath, fileAttributes)) {
        return IsMissing(location) && IsTheDefaultFolder(opened, defaultFolder);
    }
    // Same object, same final path: the text must match exactly.
    if ((fileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || ParentOf(fileFinalPath) != folderFinalPath) {
        return false;
    }
    namedFile = fileFinalPath.substr(folderFinalPath.size() + 1);
    return true;
}

} // namespace

bool MayRemoveInstallFolder(const std::wstring& location, const std::wstring& folder, HANDLE opened,
                            HANDLE defaultFolder, std::wstring& namedFile)
{
    namedFile.clear();
    // "X:\..." only: not relative, drive-relative ("C:", "C:sub"),
    // root-relative ("\sub"), a device path or a network path (a folder on
    // another machine cannot be told apart from that machine's own user
    // folders); and not a drive root as written.
    if (!IsOnDriveLetter(folder) || folder.size() <= 3) {
        return false;
    }
    std::wstring folderFinalPath;
    DWORD folderAttributes = 0;
    if (!IdentifyOpened(opened, folderFinalPath, folderAttributes) || !IsOnDriveLetter(folderFinalPath)) {
        return false;
    }
    if (folderFinalPath.size() <= 3) {
        return false; // a drive root once aliases are resolved
    }
    if (!IsFolderOfTheNamedFile(location, folderFinalPath, opened, defaultFolder, namedFile)) {
        return false;
    }
    return !LiesInTheWindowsFolder(folderFinalPath) && !HoldsProtectedFolder(folderFinalPath) &&
           !HoldsAnotherProgram(folderFinalPath);
}
