#include "guard/installed_programs.h"

#include <windows.h>

#include "guard/path_text.h"
#include "guard/registry_reads.h"

namespace {

constexpr wchar_t UninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t InstallLocationName[] = L"InstallLocation";

// Some installers write the location in quotes, as on a command line.
std::wstring Unquoted(const std::wstring& text)
{
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// view: KEY_WOW64_64KEY or KEY_WOW64_32KEY for the machine's list (a 32-bit
// process sees only WOW6432Node otherwise), 0 for the user's, which has one.
std::vector<std::wstring> InstallLocationsIn(HKEY root, REGSAM view)
{
    std::vector<std::wstring> locations;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(root, UninstallKey, 0, KEY_READ | view, &uninstall) != ERROR_SUCCESS) {
        return locations;
    }
    for (const std::wstring& name : SubkeyNames(uninstall)) {
        // Keys below a view's key are opened in that view only when asked.
        HKEY entry = nullptr;
        if (RegOpenKeyExW(uninstall, name.c_str(), 0, KEY_QUERY_VALUE | view, &entry) != ERROR_SUCCESS) {
            continue;
        }
        const std::wstring location = Unquoted(ReadPathValue(entry, InstallLocationName));
        RegCloseKey(entry);
        if (IsOnDriveLetter(location)) {
            locations.push_back(location);
        }
    }
    RegCloseKey(uninstall);
    return locations;
}

// A 32-bit process on 32-bit Windows: the machine has one registry view,
// which both flags reach. When in doubt, both are read.
bool MachineHasOneView()
{
#ifdef _WIN64
    return false;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && !wow64;
#endif
}

} // namespace

std::vector<std::wstring> InstalledProgramFolders()
{
    std::vector<std::wstring> locations = InstallLocationsIn(HKEY_CURRENT_USER, 0);
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const std::vector<std::wstring> machine = InstallLocationsIn(HKEY_LOCAL_MACHINE, view);
        locations.insert(locations.end(), machine.begin(), machine.end());
        if (MachineHasOneView()) {
            break;
        }
    }
    // Many entries share a folder.
    DropRepeats(locations);
    return locations;
}
