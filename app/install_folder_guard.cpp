#include "app/install_folder_guard.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

bool NamesExistingFile(const std::wstring& location)
{
    const DWORD attributes = GetFileAttributesW(location.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// "X:\..." or "\\server\share..."; not relative, drive-relative
// ("C:", "C:sub"), root-relative ("\sub") or a device path.
bool IsFullyQualified(const std::wstring& folder)
{
    if (StartsWith(folder, L"\\\\?\\") || StartsWith(folder, L"\\\\.\\") || StartsWith(folder, L"\\??\\")) {
        return false;
    }
    const wchar_t drive = folder.empty() ? L'\0' : static_cast<wchar_t>(folder[0] | 0x20);
    if (folder.size() >= 3 && drive >= L'a' && drive <= L'z' && folder[1] == L':' && folder[2] == L'\\') {
        return true;
    }
    return StartsWith(folder, L"\\\\") && folder.size() > 2 && folder[2] != L'\\';
}

// Absolute, with "." and ".." resolved, short names expanded where the path
// exists, and no trailing backslash (a root keeps its own).
std::wstring Canonical(const std::wstring& path)
{
    std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    if (full.empty()) {
        return path;
    }
    full.resize(GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr));
    std::wstring longForm(GetLongPathNameW(full.c_str(), nullptr, 0), L'\0');
    if (!longForm.empty()) {
        longForm.resize(GetLongPathNameW(full.c_str(), &longForm[0], static_cast<DWORD>(longForm.size())));
        full = longForm;
    }
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}

bool IsRoot(const std::wstring& canonical)
{
    return PathIsRootW(canonical.c_str()) || PathIsRootW((canonical + L"\\").c_str());
}

void AddKnownFolder(std::vector<std::wstring>& folders, REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        folders.push_back(Canonical(path));
    }
    CoTaskMemFree(path);
}

// A 32-bit process is handed the x86 Program Files for FOLDERID_ProgramFiles;
// the native one is recorded in the 64-bit view of the registry.
void AddNativeProgramFiles(std::vector<std::wstring>& folders)
{
    wchar_t path[MAX_PATH] = {};
    DWORD bytes = sizeof(path);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramW6432Dir",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, path, &bytes) == ERROR_SUCCESS) {
        folders.push_back(Canonical(path));
    }
}

std::vector<std::wstring> ProtectedFolders()
{
    std::vector<std::wstring> folders;
    for (REFKNOWNFOLDERID id :
         {FOLDERID_Windows,         FOLDERID_System,         FOLDERID_SystemX86,    FOLDERID_ProgramFiles,
          FOLDERID_ProgramFilesX86, FOLDERID_ProgramData,    FOLDERID_UserProfiles, FOLDERID_Public,
          FOLDERID_Profile,         FOLDERID_Desktop,        FOLDERID_Documents,    FOLDERID_Downloads,
          FOLDERID_Music,           FOLDERID_Pictures,       FOLDERID_Videos,       FOLDERID_SavedGames,
          FOLDERID_Favorites,       FOLDERID_RoamingAppData, FOLDERID_LocalAppData, FOLDERID_StartMenu}) {
        AddKnownFolder(folders, id);
    }
    AddNativeProgramFiles(folders);
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp) != 0) {
        folders.push_back(Canonical(temp));
    }
    return folders;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsSameOrAncestor(const std::wstring& folder, const std::wstring& other)
{
    if (other.size() > folder.size() && other[folder.size()] == L'\\') {
        return SamePath(folder, other.substr(0, folder.size()));
    }
    return SamePath(folder, other);
}

} // namespace

bool MayRemoveInstallFolder(const std::wstring& location, const std::wstring& folder)
{
    if (!NamesExistingFile(location) || !IsFullyQualified(folder)) {
        return false;
    }
    const std::wstring canonical = Canonical(folder);
    if (IsRoot(canonical)) {
        return false;
    }
    const std::vector<std::wstring> guarded = ProtectedFolders();
    return std::none_of(guarded.begin(), guarded.end(),
                        [&canonical](const std::wstring& folder) { return IsSameOrAncestor(canonical, folder); });
}
