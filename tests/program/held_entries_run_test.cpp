// Programs that hold an entry for a moment while sharing it for deletion: a
// virus scanner or the search indexer reading a file, an Explorer window on
// a folder. Wine, like FAT and Windows before 10, keeps such an entry's name
// in its folder until the holder lets go: the removal waits it out, and a
// hold that outlasts the wait leaves what the next run needs.
#include <string>

#include "tests/program/removal_run_fixture.h"
#include "tests/support/fake_launchers.h"

namespace {

constexpr DWORD MomentMs = 3000;
// Longer than the whole run will wait.
constexpr DWORD LongHoldMs = 9000;

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

class HeldTooLong : public RemovalRun, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HeldTooLong, TheRunFailsKeepsTheNamedFileAndTheNextRunFinishes)
{
    const std::wstring install = InstallWithLeftovers();
    FakeLaunchers holders;
    HANDLE holder =
        holders.StartSharedHolder(NewScratchFolder(L"scanner") + L"\\scanner.exe", install + GetParam(), LongHoldMs);
    ASSERT_NE(nullptr, holder);

    const ProgramRun first = RunProgram(Program);

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

// A file in the install folder, one in a subfolder.
INSTANTIATE_TEST_SUITE_P(Entries, HeldTooLong, ::testing::Values(L"\\top.txt", L"\\game\\data\\archive.pak"));

} // namespace
