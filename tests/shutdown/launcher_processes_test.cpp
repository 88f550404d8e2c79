// Launcher shutdown on real processes that the test starts: fake launchers
// under the launcher's name and under names that only look like it.
#include <gtest/gtest.h>

#include <string>

#include "shutdown/launcher_processes.h"
#include "tests/support/fake_launchers.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/throwaway_machine.h"

namespace {

const std::wstring Launcher = L"velstrand.exe";

double SecondsSince(ULONGLONG start)
{
    return static_cast<double>(GetTickCount64() - start) / 1000.0;
}

double SecondsToKill()
{
    const ULONGLONG start = GetTickCount64();
    KillLauncherProcesses(Launcher);
    return SecondsSince(start);
}

TEST(LauncherShutdown, EndsEachLauncherWithAPauseAndLeavesLookalikes)
{
    REQUIRE_THROWAWAY_MACHINE();
    REQUIRE_HARNESS_FILES();
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
    REQUIRE_HARNESS_FILES();
    FakeLaunchers fakes;
    HANDLE lookalike = fakes.Start(NewScratchFolder(L"lookalike") + L"\\Velstrand.exe");
    ASSERT_NE(nullptr, lookalike);
    EXPECT_LT(SecondsToKill(), 0.5);
    EXPECT_TRUE(FakeLaunchers::IsRunning(lookalike));
}

// The id the snapshot reported may belong to another program by the time it
// is opened: whatever holds the id is judged by its own image.
TEST(LauncherShutdown, EndsAProcessByIdOnlyWhenItIsTheLauncher)
{
    REQUIRE_THROWAWAY_MACHINE();
    REQUIRE_HARNESS_FILES();
    FakeLaunchers fakes;
    HANDLE editor = fakes.Start(NewScratchFolder(L"editor") + L"\\editor.exe");
    HANDLE upperCase = fakes.Start(NewScratchFolder(L"lookalike") + L"\\Velstrand.exe");
    HANDLE launcher = fakes.Start(NewScratchFolder(L"launcher") + L"\\velstrand.exe");
    ASSERT_TRUE(editor && upperCase && launcher);

    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(EndLauncherProcess(GetProcessId(editor), Launcher));
    EXPECT_FALSE(EndLauncherProcess(GetProcessId(upperCase), Launcher));
    // No process has so large an id: it cannot be opened.
    EXPECT_FALSE(EndLauncherProcess(0xFFFFFFF0, Launcher));
    EXPECT_LT(SecondsSince(start), 0.5) << "no pause for a process that is not ended";
    EXPECT_TRUE(FakeLaunchers::IsRunning(editor));
    EXPECT_TRUE(FakeLaunchers::IsRunning(upperCase));

    start = GetTickCount64();
    EXPECT_TRUE(EndLauncherProcess(GetProcessId(launcher), Launcher));
    EXPECT_GE(SecondsSince(start), 0.95) << "the one-second pause (the tick count is coarse)";
    // Not provoked: a launcher that takes long to end after TerminateProcess (Wine ends it at once).
    EXPECT_FALSE(FakeLaunchers::IsRunning(launcher)) << "ended before the stage returned";
    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(launcher));
}

TEST(LauncherShutdown, AFileTheLauncherHeldCanBeDeletedOnceTheStageReturns)
{
    REQUIRE_THROWAWAY_MACHINE();
    REQUIRE_HARNESS_FILES();
    FakeLaunchers fakes;
    const std::wstring folder = NewScratchFolder(L"launcher");
    const std::wstring held = folder + L"\\launcher.log";
    ASSERT_NE(nullptr, fakes.Start(folder + L"\\velstrand.exe", held));
    ASSERT_FALSE(DeleteFileW(held.c_str())) << "the launcher holds it";

    KillLauncherProcesses(Launcher);

    EXPECT_TRUE(DeleteFileW(held.c_str())) << GetLastError();
}

} // namespace
