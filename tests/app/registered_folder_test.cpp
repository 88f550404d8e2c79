// The registered-folder stage where its key cannot be had at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/registered_folder.h"
#include "tests/support/throwaway_machine.h"
#include "tests/support/trace_capture.h"

namespace {

const wchar_t VendorKey[] = L"Software\\tamrel";
const wchar_t LauncherKey[] = L"Software\\tamrel\\shared\\6D1F0A83-C47E-42b9-9E05-B7C3148A6F2D";

bool LauncherKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, LauncherKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// A volatile parent admits no lasting child, so the launcher's key can be
// neither opened nor created: there is nothing to read, so nothing to
// remove, and the stage says nothing and does not fail the run.
TEST(RegisteredFolder, KeyThatCanBeNeitherOpenedNorCreatedIsASilentSuccess)
{
    REQUIRE_THROWAWAY_MACHINE();
    RegDeleteTreeW(HKEY_CURRENT_USER, VendorKey);
    HKEY vendor = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, VendorKey, 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &vendor, nullptr));
    TraceCapture trace;

    RunState run;
    LeftForLast nothingLeft;
    const bool removed = RemoveRegisteredFolder(run, nothingLeft);

    RegCloseKey(vendor);
    EXPECT_TRUE(removed);
    EXPECT_EQ(std::vector<std::wstring>{}, trace.Lines());
    EXPECT_FALSE(LauncherKeyExists());
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, VendorKey));
}

} // namespace
