// Entries in this throwaway machine's list of installed programs, as
// installers write them, for the tests of the rule that no folder holding
// another installed program is removed.
#pragma once

#include <windows.h>

#include <string>

// One program in the list, with its InstallLocation; removed when the test
// ends. view: KEY_WOW64_64KEY or KEY_WOW64_32KEY under HKLM, 0 under HKCU.
class UninstallEntry {
public:
    UninstallEntry(HKEY root, REGSAM view, const std::wstring& location, DWORD type = REG_SZ);
    ~UninstallEntry();
    UninstallEntry(const UninstallEntry&) = delete;
    UninstallEntry& operator=(const UninstallEntry&) = delete;

    bool IsSeenIn(REGSAM view) const;

private:
    HKEY root_;
    REGSAM view_;
    std::wstring key_;
};
