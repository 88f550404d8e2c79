#include "tests/support/uninstall_entry.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_tree.h"

namespace {

const std::wstring UninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

} // namespace

UninstallEntry::UninstallEntry(HKEY root, REGSAM view, const std::wstring& location, DWORD type)
    : root_(root), view_(view), key_(UninstallKey + L"\\" + Unique(L"TestProgram"))
{
    HKEY entry = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_SET_VALUE | view, nullptr, &entry, nullptr));
    const std::wstring name = L"Test program";
    RegSetValueExW(entry, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(entry, L"InstallLocation", 0, type, reinterpret_cast<const BYTE*>(location.c_str()),
                             static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(entry);
}

UninstallEntry::~UninstallEntry()
{
    RegDeleteKeyExW(root_, key_.c_str(), view_, 0);
}

bool UninstallEntry::IsSeenIn(REGSAM view) const
{
    HKEY entry = nullptr;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ | view, &entry) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(entry);
    return true;
}
