// The prefix the suite runs in must have no way out to this machine's files.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/throwaway_machine.h"

// C: and the harness's D: and E:, mapped onto the profile and onto a folder
// of their own inside the prefix, and F:, a tmpfs mounted inside it (when
// the harness could mount one); no drive that could lead to the Linux side
// (Z: by default).
TEST(Sandbox, OnlyTheHarnessDrivesAreMapped)
{
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "a property of the Wine harness";
    }
    const DWORD secondDisk =
        GetFileAttributesW(L"C:\\fixtures\\SecondDisk-missing.txt") == INVALID_FILE_ATTRIBUTES ? 1u << 5 : 0;
    EXPECT_EQ((1u << 2) | (1u << 3) | (1u << 4) | secondDisk, GetLogicalDrives());
}
