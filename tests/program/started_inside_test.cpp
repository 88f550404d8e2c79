// The program started from inside the folders it removes: a working folder
// there (a shortcut's "Start in", a command prompt, a launcher's Uninstall
// button), or its own file saved into the install folder and double-clicked
// there. Neither may make the removal one that can never finish.
#include <string>

#include "tests/program/removal_run_fixture.h"
#include "tests/support/fake_launchers.h"
#include "tests/support/machine_width.h"

namespace {

TEST_F(RemovalRun, WorkingFolderInsideTheDefaultFolderIsRemovedWithIt)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\update"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\update\\patch.bin"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe"));
    RunOptions options;
    options.workingFolder = Fixed + L"\\update";

    const ProgramRun run = RunProgram(Program, options);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
}

// Saved two folders down in the registered install and started there: the
// install goes, and the program's own file with it. A copy in a look-alike
// of the default folder, beside it, stays where it is.
TEST_F(RemovalRun, ProgramStartedFromInsideTheInstallRemovesItWhole)
{
    const std::wstring install = NewScratchFolder(L"inside") + L"\\VL";
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFile(install + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFolder(install + L"\\tools"));
    ASSERT_TRUE(MakeFolder(install + L"\\tools\\remove"));
    ASSERT_TRUE(MakeFile(install + L"\\tools\\readme.txt", FILE_ATTRIBUTE_READONLY));
    const std::wstring saved = install + L"\\tools\\remove\\uninstall.exe";
    ASSERT_TRUE(CopyFileW(Program.c_str(), saved.c_str(), TRUE));
    SetLauncherValue(L"location", install + L"\\velstrand.exe");
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFolder(Fixed + L"2"));
    const std::wstring lookAlike = Fixed + L"2\\uninstall.exe";
    ASSERT_TRUE(CopyFileW(Program.c_str(), lookAlike.c_str(), TRUE));
    // Not the profile's: Wine gives it the volume serial of drive D:, which
    // the harness maps onto it.
    const std::wstring temporary = NewScratchFolder(L"inside-temp");
    TemporaryFolderSetTo onDriveC(temporary);

    const ProgramRun run = RunCopyFrom(saved);

    ExpectSuccessBox(run);
    EXPECT_EQ(StartFolderIsKeptOnceLeft() ? 1 : 0, run.copiesFollowed)
        << "on the temporary folder's drive the program finishes the run itself, unless it cannot let go of the "
           "folder it was started in";
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(install));
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_EQ(L"uninstall.exe", ListFolder(Fixed + L"2"));

    // Started from the look-alike, it removes nothing of it.
    ASSERT_TRUE(MakeFolder(Fixed));
    const ProgramRun besides = RunCopyFrom(lookAlike);
    ExpectSuccessBox(besides);
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_EQ(L"uninstall.exe", ListFolder(Fixed + L"2"));
    EXPECT_EQ(L"", ListFolder(temporary)) << "the program moved aside is gone once it has ended";
}

// A failed run leaves the program where the user started it, with its
// folder, so that the user can run it again from there once the file is
// let go; that run finishes.
TEST_F(RemovalRun, ProgramInsideTheInstallOutlivesAFailedRunAndTheRetryFinishes)
{
    const std::wstring install = NewScratchFolder(L"inside-retry") + L"\\VL";
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFile(install + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFile(install + L"\\held.dat"));
    const std::wstring saved = install + L"\\uninstall.exe";
    ASSERT_TRUE(CopyFileW(Program.c_str(), saved.c_str(), TRUE));
    SetLauncherValue(L"location", install + L"\\velstrand.exe");
    HANDLE held = HoldOpen(install + L"\\held.dat");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TemporaryFolderSetTo onDriveC(NewScratchFolder(L"inside-retry-temp"));

    const ProgramRun failed = RunCopyFrom(saved);
    CloseHandle(held);

    ExpectFailureBox(failed);
    EXPECT_EQ(StartFolderIsKeptOnceLeft() ? 1 : 0, failed.copiesFollowed);
    EXPECT_EQ(Lines{L"Delete falied : held.dat"}, failed.traceLines);
    EXPECT_EQ(L"held.dat uninstall.exe velstrand.exe", ListFolder(install));

    ExpectFinishedFromThere(saved, install);
}

// Another program keeps the named file to itself: the run fails late, after
// everything else has gone, and still leaves the program where the user
// started it, to be run again from there once that program has let go.
TEST_F(RemovalRun, ProgramInsideTheInstallOutlivesALateFailureAndTheRetryFinishes)
{
    const std::wstring install = NewScratchFolder(L"inside-late") + L"\\VL";
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFile(install + L"\\readme.txt"));
    const std::wstring saved = install + L"\\uninstall.exe";
    ASSERT_TRUE(CopyFileW(Program.c_str(), saved.c_str(), TRUE));
    SetLauncherValue(L"location", install + L"\\velstrand.exe");
    TemporaryFolderSetTo onDriveC(NewScratchFolder(L"inside-late-temp"));
    ProgramRun failed;
    {
        FakeLaunchers keeper;
        ASSERT_NE(nullptr, keeper.Start(NewScratchFolder(L"keeper") + L"\\keeper.exe", install + L"\\velstrand.exe"));
        failed = RunCopyFrom(saved);
    }

    ExpectFailureBox(failed);
    EXPECT_EQ(Lines{L"Delete falied : velstrand.exe"}, failed.traceLines);
    EXPECT_EQ(L"uninstall.exe velstrand.exe", ListFolder(install));

    ExpectFinishedFromThere(saved, install);
}

// The program's own file cannot leave the install (here its temporary
// folder is missing, so that no copy of it can be made there either): the
// named file stays with it, so that a run started from anywhere else still
// recognises the folder, and finishes.
TEST_F(RemovalRun, AProgramThatCannotLeaveKeepsTheNamedFileForTheNextRun)
{
    const std::wstring install = NewScratchFolder(L"inside-stuck") + L"\\VL";
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFile(install + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFolder(install + L"\\data"));
    ASSERT_TRUE(MakeFile(install + L"\\data\\pack.dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolder(install + L"\\tools"));
    const std::wstring saved = install + L"\\tools\\uninstall.exe";
    ASSERT_TRUE(CopyFileW(Program.c_str(), saved.c_str(), TRUE));
    SetLauncherValue(L"location", install + L"\\velstrand.exe");

    ExpectKeptWithoutATemporaryFolder(install, saved);
    ExpectFinishedFromElsewhere(install);
}

} // namespace
