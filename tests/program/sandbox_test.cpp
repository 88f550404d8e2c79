// The prefix the suite runs in must have no way out to this machine's files.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/throwaway_machine.h"

TEST(Sandbox, OnlyDriveCIsMapped)
{
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "a property of the Wine harness";
    }
    EXPECT_EQ(1u << 2, GetLogicalDrives());
}
