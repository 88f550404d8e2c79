// The real program, run as its user would: the box it shows, the trace lines
// it writes, its exit code, and what it leaves on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/program/removal_run_fixture.h"
#include "tests/support/fake_launchers.h"
#include "tests/support/machine_width.h"
#include "tests/support/throwaway_machine.h"

namespace {

TEST_F(RemovalRun, NothingInstalledIsASuccess)
{
    const ProgramRun run = RunProgram(Program);
    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(L"C:\\Tamrel"));
}

TEST_F(RemovalRun, InstalledFolderIsRemovedWholeAndItsParentKept)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\데이터", FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(MakeFile(Fixed + L"\\데이터\\설정.ini", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\데이터\\empty"));
    ASSERT_EQ(L"velstrand.exe 데이터", ListFolder(Fixed)) << "Hangul names must survive Wine's locale";

    const ProgramRun run = RunProgram(Program);
    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_TRUE(Exists(Parent));
}

TEST_F(RemovalRun, EmptyInstalledFolderIsRemoved)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    const ProgramRun run = RunProgram(Program);
    ExpectSuccessBox(run);
    EXPECT_FALSE(Exists(Fixed));
}

TEST_F(RemovalRun, FileHeldOpenByAnotherProcessIsReportedAsAFailure)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\game"));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\game\\data"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\game\\data\\archive.pak"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\game\\data\\other.pak", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(Fixed + L"\\game\\readme.txt"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\top.txt"));
    HANDLE held = HoldOpen(Fixed + L"\\game\\data\\archive.pak");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    const ProgramRun run = RunProgram(Program);
    CloseHandle(held);

    ExpectFailureBox(run);
    EXPECT_EQ(Lines{L"Delete falied : archive.pak"}, run.traceLines);
    EXPECT_EQ(L"archive.pak", ListFolder(Fixed + L"\\game\\data"));
    EXPECT_EQ(L"data", ListFolder(Fixed + L"\\game"));
    EXPECT_EQ(L"game", ListFolder(Fixed));
}

TEST_F(RemovalRun, AFileWhereTheFolderShouldBeIsAFailure)
{
    MakeParent();
    ASSERT_TRUE(MakeFile(Fixed));
    const ProgramRun run = RunProgram(Program);
    ExpectFailureBox(run);
    const std::wstring line = L"FindFirstFile failed : " + Fixed;
    EXPECT_EQ((Lines{line, line}), run.traceLines);
    EXPECT_TRUE(Exists(Fixed));
}

TEST_F(RemovalRun, ALinkInTheFolderLeavesWhatItPointsAt)
{
    // The harness's fixture: "tree" holds "link", a directory link to the
    // non-empty folder "outside". The tree is moved into place as the
    // installed folder.
    const std::wstring fixture = L"C:\\fixtures\\program";
    MakeParent();
    ASSERT_TRUE(MoveFileW((fixture + L"\\tree").c_str(), Fixed.c_str())) << "fixture missing: run wine_setup";
    ASSERT_NE(0u, AttributesOf(Fixed + L"\\link") & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_TRUE(SetFileAttributesW((fixture + L"\\outside\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    const ProgramRun run = RunProgram(Program);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(Exists(Fixed + L"\\file.txt"));
    EXPECT_FALSE(Exists(Fixed + L"\\inner"));
    EXPECT_EQ(L"keep.txt sub", ListFolder(fixture + L"\\outside"));
    EXPECT_EQ(L"deep.txt", ListFolder(fixture + L"\\outside\\sub"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              AttributesOf(fixture + L"\\outside\\keep.txt") & FILE_ATTRIBUTE_READONLY);

    // Wine cannot remove a link to a non-empty folder (Windows can): put
    // what is left back out of the way of the next test.
    if (Exists(Fixed)) {
        EXPECT_TRUE(MoveFileW(Fixed.c_str(), (fixture + L"\\tree").c_str()));
    }
}

TEST_F(RemovalRun, RunningLaunchersAreEndedBeforeTheirFolderIsRemoved)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\data"));
    FakeLaunchers fakes;
    HANDLE installed = fakes.Start(Fixed + L"\\velstrand.exe", Fixed + L"\\data\\session.db");
    HANDLE second = fakes.Start(NewScratchFolder(L"launcher") + L"\\velstrand.exe");
    HANDLE third = fakes.Start(NewScratchFolder(L"launcher") + L"\\velstrand.exe");
    ASSERT_TRUE(installed && second && third);
    ASSERT_EQ(INVALID_HANDLE_VALUE, HoldOpen(Fixed + L"\\data\\session.db")) << "the launcher holds its file";

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(installed));
    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(second));
    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(third));
    EXPECT_GE(run.seconds, 3.0) << "a one-second pause after each launcher";
}

// A 64-bit launcher, run from the native Program Files and holding a file of
// its install open, is ended by the 32-bit program, and its install goes.
TEST_F(RemovalRun, SixtyFourBitLauncherInTheNativeProgramFilesIsEndedAndRemoved)
{
    if (!IsWow64(GetCurrentProcess())) {
        GTEST_SKIP() << "a 32-bit program on 64-bit Windows only (modes wow64 and wow64-posix)";
    }
    const std::wstring programFiles = EnvironmentValue(L"ProgramW6432");
    ASSERT_FALSE(programFiles.empty());
    const std::wstring install = programFiles + L"\\" + Unique(L"Rinop");
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFolder(install + L"\\data"));
    FakeLaunchers fakes;
    HANDLE launcher = fakes.Start(install + L"\\velstrand.exe", install + L"\\data\\session.db", FakeLauncher64Image);
    ASSERT_NE(nullptr, launcher) << "the harness stages fake_launcher64.exe in the 64-bit prefixes";
    ASSERT_FALSE(IsWow64(launcher)) << "a 64-bit launcher";
    SetLauncherValue(L"location", install + L"\\velstrand.exe");
    SetLauncherValue(L"version", L"3.1.4");

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_EQ(0u, FakeLaunchers::ExitCodeOf(launcher));
    EXPECT_FALSE(Exists(install));
    EXPECT_TRUE(Exists(programFiles));
    EXPECT_FALSE(LauncherValueExists(L"version"));
}

TEST_F(RemovalRun, LookalikeProcessesAreLeftRunningWithoutAPause)
{
    const ProgramRun baseline = RunProgram(Program);
    FakeLaunchers fakes;
    const std::wstring folder = NewScratchFolder(L"lookalikes");
    HANDLE upperCase = fakes.Start(folder + L"\\Velstrand.exe");
    HANDLE prefixed = fakes.Start(folder + L"\\xvelstrand.exe");
    ASSERT_TRUE(upperCase && prefixed);

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_TRUE(FakeLaunchers::IsRunning(upperCase));
    EXPECT_TRUE(FakeLaunchers::IsRunning(prefixed));
    EXPECT_LT(run.seconds, baseline.seconds + 0.7) << "compared with a run that finds no process at all";
}

// The end-to-end checks rest on the driver telling a crash from an exit.
TEST(Driver, ReportsAProgramThatCrashes)
{
    REQUIRE_HARNESS_FILES();
    const ProgramRun run = RunProgram(L"C:\\harness\\crashing_program.exe");
    ASSERT_TRUE(run.exited);
    EXPECT_TRUE(run.crashed);
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), run.crashCode);
    EXPECT_EQ(Lines{L"about to crash"}, run.traceLines);
    EXPECT_EQ(0, run.boxesShown);
}

} // namespace
