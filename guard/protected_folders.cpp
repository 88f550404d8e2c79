#include "guard/protected_folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "guard/path_text.h"
#include "guard/registry_reads.h"

namespace {

constexpr wchar_t SyncRootManagerKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SyncRootManager";

// The path values of the key, in the order of names, those that are set.
void AddPathValues(std::vector<std::wstring>& folders, HKEY key, const std::vector<std::wstring>& names)
{
    for (const std::wstring& name : names) {
        const std::wstring path = ReadPathValue(key, name.c_str());
        if (!path.empty()) {
            folders.push_back(path);
        }
    }
}

void AddKnownFolder(std::vector<std::wstring>& folders, REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path))) {
        folders.emplace_back(path);
    }
    CoTaskMemFree(path);
}

// Every folder the shell knows of on this machine, including those other
// software registers. Virtual folders have no path and are skipped.
void AddEveryKnownFolder(std::vector<std::wstring>& folders)
{
    // The multithreaded apartment: no hidden window to make, which under
    // Wine costs tens of milliseconds. The program has no window of its own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IKnownFolderManager* manager = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_IKnownFolderManager,
                                   reinterpret_cast<void**>(&manager)))) {
        KNOWNFOLDERID* ids = nullptr;
        UINT count = 0;
        if (SUCCEEDED(manager->GetFolderIds(&ids, &count))) {
            for (UINT i = 0; i < count; ++i) {
                AddKnownFolder(folders, ids[i]);
            }
        }
        CoTaskMemFree(ids);
        manager->Release();
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

// The system and profile folders, looked up one by one, for when the shell's
// list above cannot be had (they are all in it).
void AddCoreKnownFolders(std::vector<std::wstring>& folders)
{
    for (REFKNOWNFOLDERID id :
         {FOLDERID_Windows,         FOLDERID_System,         FOLDERID_SystemX86,    FOLDERID_ProgramFiles,
          FOLDERID_ProgramFilesX86, FOLDERID_ProgramData,    FOLDERID_UserProfiles, FOLDERID_Public,
          FOLDERID_Profile,         FOLDERID_Desktop,        FOLDERID_Documents,    FOLDERID_Downloads,
          FOLDERID_Music,           FOLDERID_Pictures,       FOLDERID_Videos,       FOLDERID_SavedGames,
          FOLDERID_Favorites,       FOLDERID_RoamingAppData, FOLDERID_LocalAppData, FOLDERID_StartMenu}) {
        AddKnownFolder(folders, id);
    }
}

// A 32-bit process on 64-bit Windows is handed the x86 Program Files and
// Common Files for FOLDERID_ProgramFiles and FOLDERID_ProgramFilesCommon, and
// the native ones' ids fail for it. The registry's native view records them:
// Windows writes all four values, Wine 8 only the first two.
void AddNativeProgramFiles(std::vector<std::wstring>& folders)
{
    HKEY currentVersion = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &currentVersion) != ERROR_SUCCESS) {
        return;
    }
    AddPathValues(folders, currentVersion,
                  {L"ProgramFilesDir", L"CommonFilesDir", L"ProgramW6432Dir", L"CommonW6432Dir"});
    RegCloseKey(currentVersion);
}

// For a 32-bit process on 64-bit Windows, System32 opens as SysWOW64 and the
// native System32 only through this alias. Elsewhere nothing is there, and
// the path, compared as text, protects only the Windows folder it lies in.
void AddNativeSystemFolder(std::vector<std::wstring>& folders)
{
    const std::wstring windows = WindowsFolder();
    if (!windows.empty()) {
        folders.push_back(windows + L"\\Sysnative");
    }
}

void AddTempFolder(std::vector<std::wstring>& folders)
{
    const DWORD needed = GetTempPathW(0, nullptr);
    if (needed == 0) {
        return;
    }
    std::wstring path(needed, L'\0');
    const DWORD length = GetTempPathW(needed, &path[0]);
    if (length != 0 && length < needed) {
        path.resize(length);
        folders.push_back(path);
    }
}

// Every value under <provider>\UserSyncRoots names a folder that a cloud
// drive keeps in step with its servers: deleting there deletes there too.
void AddSyncRootsOf(std::vector<std::wstring>& folders, HKEY provider)
{
    HKEY roots = nullptr;
    if (RegOpenKeyExW(provider, L"UserSyncRoots", 0, KEY_READ | KEY_WOW64_64KEY, &roots) != ERROR_SUCCESS) {
        return;
    }
    AddPathValues(folders, roots, ValueNames(roots));
    RegCloseKey(roots);
}

void AddCloudSyncRoots(std::vector<std::wstring>& folders)
{
    HKEY manager = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SyncRootManagerKey, 0, KEY_READ | KEY_WOW64_64KEY, &manager) !=
        ERROR_SUCCESS) {
        return;
    }
    for (const std::wstring& name : SubkeyNames(manager)) {
        HKEY provider = nullptr;
        if (RegOpenKeyExW(manager, name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &provider) == ERROR_SUCCESS) {
            AddSyncRootsOf(folders, provider);
            RegCloseKey(provider);
        }
    }
    RegCloseKey(manager);
}

} // namespace

std::vector<std::wstring> ProtectedFolders()
{
    std::vector<std::wstring> folders;
    AddEveryKnownFolder(folders);
    if (folders.empty()) {
        AddCoreKnownFolders(folders);
    }
    AddCloudSyncRoots(folders);
    AddNativeProgramFiles(folders);
    AddNativeSystemFolder(folders);
    AddTempFolder(folders);
    DropRepeats(folders);
    return folders;
}

std::wstring WindowsFolder()
{
    // The system's own, not a terminal-server user's private copy.
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
    return length != 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}
