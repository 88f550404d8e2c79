// The prefix the suite runs in must have no way out to this machine's files.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/throwaway_machine.h"

// C: and the harness's D: and E:, mapped onto the profile and onto a folder
// of their own inside the prefix; no drive that could lead to the Linux side
// (Z: by default).
TEST(Sandbox, OnlyTheHarnessDrivesAreMapped)
{
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "a property of the Wine harness";
    }
    EXPECT_EQ((1u << 2) | (1u << 3) | (1u << 4), GetLogicalDrives());
}
