// Programs that hold an entry for a moment while sharing it for deletion: a
// virus scanner or the search indexer reading a file, an Explorer window on
// a folder. Deleted the POSIX way (Windows 10 and 11, Wine 10), such an
// entry's name leaves its folder at once. Deleted the classic way (Wine 8,
// FAT, Windows before 10), it stays listed until the holder lets go: the
// removal waits it out, and a hold that outlasts the wait leaves what the
// next run needs. Where the two differ, each has its own expectation.
#include <string>

#include "foldertree/held_entries.h"
#include "tests/program/removal_run_fixture.h"
#include "tests/support/deletion_semantics.h"
#include "tests/support/fake_launchers.h"

namespace {

constexpr DWORD MomentMs = 3000;
// Longer than the whole run will wait.
constexpr DWORD LongHoldMs = 9000;
// A run that waited for held entries takes the whole allowance before it
// gives up; one that never paused stays well under half of it.
constexpr double NoPauseSeconds = HeldEntriesPatienceMs / 2000.0;

// The launcher installed where its key says, beside leftovers in the
// default folder; the install folder is returned.
std::wstring InstallWithLeftovers()
{
    std::wstring install = NewScratchFolder(L"held") + L"\\Rinop";
    EXPECT_TRUE(MakeFolder(install));
    EXPECT_TRUE(MakeFile(install + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(MakeFile(install + L"\\top.txt"));
    EXPECT_TRUE(MakeFolder(install + L"\\game"));
    EXPECT_TRUE(MakeFile(install + L"\\game\\readme.txt"));
    EXPECT_TRUE(MakeFolder(install + L"\\game\\data"));
    EXPECT_TRUE(MakeFile(install + L"\\game\\data\\archive.pak"));
    SetLauncherValue(L"location", install + L"\\velstrand.exe");
    EXPECT_TRUE(MakeFolder(L"C:\\Tamrel"));
    EXPECT_TRUE(MakeFolder(Parent));
    EXPECT_TRUE(MakeFolder(Fixed));
    EXPECT_TRUE(MakeFile(Fixed + L"\\old.log"));
    EXPECT_TRUE(MakeFile(install + L"\\readonly.dat", FILE_ATTRIBUTE_READONLY));
    return install;
}

// The held entry's path below the install folder.
class HeldForAMoment : public RemovalRun, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HeldForAMoment, TheRemovalWaitsAndSucceeds)
{
    const std::wstring install = InstallWithLeftovers();
    FakeLaunchers holders;
    ASSERT_NE(nullptr, holders.StartSharedHolder(NewScratchFolder(L"scanner") + L"\\scanner.exe", install + GetParam(),
                                                 MomentMs));

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(install));
    EXPECT_FALSE(Exists(Fixed));
}

// A file in the install folder, one two levels down, a subfolder (as an
// Explorer window holds it).
INSTANTIATE_TEST_SUITE_P(Entries, HeldForAMoment,
                         ::testing::Values(L"\\top.txt", L"\\game\\data\\archive.pak", L"\\game"));

// The default folder, which has no file kept for last, is deleted through
// its parent once its held file has gone.
TEST_F(RemovalRun, AFileHeldForAMomentInTheDefaultFolderIsWaitedFor)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\old.log"));
    FakeLaunchers holders;
    ASSERT_NE(nullptr, holders.StartSharedHolder(NewScratchFolder(L"scanner") + L"\\scanner.exe", Fixed + L"\\old.log",
                                                 MomentMs));

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_TRUE(Exists(Parent));
}

// Held longer than the run would ever wait. The POSIX way the held name
// leaves at once: one run, no pause, nothing left (a read-only file too: its
// bit is reset first). The classic way the run waits its allowance out,
// fails, and keeps the named file; the next one, once the hold has ended,
// finishes.
class HeldTooLong : public RemovalRun, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HeldTooLong, OneRunTheFirstRunFailsOnlyTheClassicWayAndTheNextFinishes)
{
    const std::wstring install = InstallWithLeftovers();
    FakeLaunchers holders;
    HANDLE holder =
        holders.StartSharedHolder(NewScratchFolder(L"scanner") + L"\\scanner.exe", install + GetParam(), LongHoldMs);
    ASSERT_NE(nullptr, holder);

    const ProgramRun first = RunProgram(Program);

    if (DeletesThePosixWay()) {
        ExpectSuccessBox(first);
        EXPECT_EQ(Lines{}, first.traceLines);
        EXPECT_FALSE(Exists(install));
        EXPECT_FALSE(Exists(Fixed));
        EXPECT_LT(first.seconds, NoPauseSeconds) << "nothing was waited for";
        return;
    }
    ExpectFailureBox(first);
    EXPECT_EQ(Lines{}, first.traceLines) << "a folder left at the end of its walk has no line";
    EXPECT_TRUE(Exists(install + L"\\velstrand.exe")) << "kept, so that the next run recognises the folder";
    EXPECT_FALSE(Exists(Fixed)) << "the default folder was not held";

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(holder, LongHoldMs + 10000)) << "the hold ends";
    const ProgramRun second = RunProgram(Program);

    ExpectSuccessBox(second);
    EXPECT_EQ(Lines{}, second.traceLines);
    EXPECT_FALSE(Exists(install));
}

// A file in the install folder, one in a subfolder, a subfolder (as an
// Explorer window holds it), a read-only file.
INSTANTIATE_TEST_SUITE_P(Entries, HeldTooLong,
                         ::testing::Values(L"\\top.txt", L"\\game\\data\\archive.pak", L"\\game", L"\\readonly.dat"));

// The named file held longer than any wait, shared for deletion (an
// Explorer window's preview). The POSIX way it goes at once; the classic way
// its deletion would only be pending, and the folder kept: it stays, and the
// next run, once the hold has ended, finishes.
TEST_F(RemovalRun, TheNamedFileHeldLongIsKeptUnlessItGoesAtOnce)
{
    const std::wstring install = InstallWithLeftovers();
    FakeLaunchers holders;
    HANDLE holder = holders.StartSharedHolder(NewScratchFolder(L"explorer") + L"\\explorer.exe",
                                              install + L"\\velstrand.exe", LongHoldMs);
    ASSERT_NE(nullptr, holder);

    const ProgramRun first = RunProgram(Program);

    if (DeletesThePosixWay()) {
        ExpectSuccessBox(first);
        EXPECT_FALSE(Exists(install));
        return;
    }
    ExpectFailureBox(first);
    EXPECT_EQ(Lines{L"Delete falied : velstrand.exe"}, first.traceLines);
    EXPECT_EQ(L"velstrand.exe", ListFolder(install));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(holder, LongHoldMs + 10000)) << "the hold ends";
    ExpectFinishedFromElsewhere(install);
}

// Another program's working folder is the install folder (a command prompt
// opened there): it holds the folder without sharing its deletion, so the
// folder cannot go while that program runs, the POSIX way too. The named
// file stays, by which the run after that program has ended finishes.
TEST_F(RemovalRun, AnotherProgramsWorkingFolderKeepsTheNamedFileForTheNextRun)
{
    const std::wstring install = InstallWithLeftovers();
    FakeLaunchers others;
    HANDLE prompt = others.StartIn(NewScratchFolder(L"prompt") + L"\\prompt.exe", install);
    ASSERT_NE(nullptr, prompt);

    const ProgramRun first = RunProgram(Program);
    TerminateProcess(prompt, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(prompt, 5000));

    ExpectFailureBox(first);
    EXPECT_EQ(Lines{}, first.traceLines) << "a folder left at the end of its walk has no line";
    EXPECT_EQ(L"velstrand.exe", ListFolder(install));
    ExpectFinishedFromElsewhere(install);
}

// The install folder itself held longer than any wait (an Explorer window
// open on it). Its content goes and its own deletion is taken either way:
// the POSIX way it leaves at once, the classic way once the holder lets go.
TEST_F(RemovalRun, TheInstallFolderItselfHeldLongIsDeleted)
{
    const std::wstring install = InstallWithLeftovers();
    FakeLaunchers holders;
    HANDLE holder = holders.StartSharedHolder(NewScratchFolder(L"explorer") + L"\\explorer.exe", install, LongHoldMs);
    ASSERT_NE(nullptr, holder);

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
    if (DeletesThePosixWay()) {
        EXPECT_FALSE(Exists(install));
        EXPECT_LT(run.seconds, NoPauseSeconds) << "nothing was waited for";
        return;
    }
    EXPECT_EQ(L"", ListFolder(install)) << "emptied; its own deletion waits for the holder";
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(holder, LongHoldMs + 10000)) << "the hold ends";
    EXPECT_FALSE(Exists(install));
}

} // namespace
