// Launcher shutdown on real processes that the test starts: fake launchers
// under the launcher's name and under names that only look like it.
#include <gtest/gtest.h>

#include <string>

#include "shutdown/launcher_processes.h"
#include "tests/support/fake_launchers.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/throwaway_machine.h"

namespace {

double SecondsToKill()
{
    const ULONGLONG start = GetTickCount64();
    KillLauncherProcesses();
    return static_cast<double>(GetTickCount64() - start) / 1000.0;
}

TEST(LauncherShutdown, EndsEachLauncherWithAPauseAndLeavesLookalikes)
{
    REQUIRE_THROWAWAY_MACHINE();
    FakeLaunchers fakes;
    HANDLE first = fakes.Start(NewScratchFolder(L"launcher") + L"\\velstrand.exe");
    HANDLE second = fakes.Start(NewScratchFolder(L"launcher") + L"\\velstrand.exe");
    const std::wstring lookalikes = NewScratchFolder(L"lookalikes");
    HANDLE upperCase = fakes.Start(lookalikes + L"\\Velstrand.exe");
    HANDLE prefixed = fakes.Start(lookalikes + L"\\xvelstrand.exe");
    HANDLE suffixed = fakes.Start(lookalikes + L"\\velstrand.exe.exe");
    ASSERT_TRUE(first && second && upperCase && prefixed && suffixed);

    const double seconds = SecondsToKill();

    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(first));
    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(second));
    EXPECT_TRUE(FakeLaunchers::IsRunning(upperCase));
    EXPECT_TRUE(FakeLaunchers::IsRunning(prefixed));
    EXPECT_TRUE(FakeLaunchers::IsRunning(suffixed));
    EXPECT_GE(seconds, 2.0) << "one second after each of the two";
    EXPECT_LT(seconds, 2.9) << "no pause for a lookalike";
}

TEST(LauncherShutdown, NoLauncherRunningCostsNoPause)
{
    REQUIRE_THROWAWAY_MACHINE();
    FakeLaunchers fakes;
    HANDLE lookalike = fakes.Start(NewScratchFolder(L"lookalike") + L"\\Velstrand.exe");
    ASSERT_NE(nullptr, lookalike);
    EXPECT_LT(SecondsToKill(), 0.5);
    EXPECT_TRUE(FakeLaunchers::IsRunning(lookalike));
}

} // namespace
