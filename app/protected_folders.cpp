#include "app/protected_folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>

namespace {

constexpr wchar_t SyncRootManagerKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SyncRootManager";

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

// A text value of whatever length, read from the 64-bit view of the registry
// (a 32-bit process would otherwise see WOW6432Node); empty when missing.
std::wstring Read64BitRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name)
{
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND | RRF_SUBKEY_WOW6464KEY;
    DWORD bytes = 0;
    if (RegGetValueW(root, subKey, name, flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
        return L"";
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(root, subKey, name, flags, nullptr, &text[0], &bytes) != ERROR_SUCCESS) {
        return L"";
    }
    text.resize(text.find(L'\0'));
    return text;
}

// A 32-bit process is handed the x86 Program Files for FOLDERID_ProgramFiles;
// the native one is recorded in the registry.
void AddNativeProgramFiles(std::vector<std::wstring>& folders)
{
    const std::wstring path =
        Read64BitRegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramW6432Dir");
    if (!path.empty()) {
        folders.push_back(path);
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
    DWORD values = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyW(roots, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
        std::wstring name(longestName + 1, L'\0');
        std::wstring data(longestData / sizeof(wchar_t) + 1, L'\0');
        for (DWORD i = 0; i < values; ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            DWORD type = 0;
            std::fill(data.begin(), data.end(), L'\0');
            if (RegEnumValueW(roots, i, &name[0], &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                              &bytes) == ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ)) {
                folders.emplace_back(data.c_str());
            }
        }
    }
    RegCloseKey(roots);
}

void AddCloudSyncRoots(std::vector<std::wstring>& folders)
{
    HKEY manager = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SyncRootManagerKey, 0, KEY_READ | KEY_WOW64_64KEY, &manager) !=
        ERROR_SUCCESS) {
        return;
    }
    // Key names are at most 255 characters.
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(manager, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        HKEY provider = nullptr;
        if (RegOpenKeyExW(manager, name, 0, KEY_READ | KEY_WOW64_64KEY, &provider) == ERROR_SUCCESS) {
            AddSyncRootsOf(folders, provider);
            RegCloseKey(provider);
        }
    }
    RegCloseKey(manager);
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

// Many known folders share a path; each is looked at once.
void DropRepeats(std::vector<std::wstring>& folders)
{
    std::sort(folders.begin(), folders.end(), LessIgnoringCase);
    const auto same = [](const std::wstring& a, const std::wstring& b) {
        return !LessIgnoringCase(a, b) && !LessIgnoringCase(b, a);
    };
    folders.erase(std::unique(folders.begin(), folders.end(), same), folders.end());
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
    AddTempFolder(folders);
    DropRepeats(folders);
    return folders;
}
