// What another account can leave at the top of drive C: before the user runs
// the remover, where every signed-in user may create folders: nothing of it
// may lead the removal elsewhere, or stop it from finishing.
#include <string>

#include "tests/program/removal_run_fixture.h"

namespace {

const std::wstring Planted = L"C:\\fixtures\\planted";

// C:\Tamrel\Rinop is a link to another folder that holds a Launcher folder
// of its own: that folder is someone's own, not the launcher's. (Wine moves
// a folder that holds a link, not a link itself: the harness made the link
// inside a Tamrel folder of its own.)
TEST_F(RemovalRun, ALinkAboveTheDefaultFolderIsRefusedAndWhatItLeadsToKept)
{
    const std::wstring victim = Planted + L"\\victim\\Launcher";
    ASSERT_TRUE(MoveFileW((Planted + L"\\Tamrel").c_str(), L"C:\\Tamrel")) << "fixture missing: run wine_setup";
    ASSERT_NE(0u, AttributesOf(Parent) & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_TRUE(SetFileAttributesW((victim + L"\\velstrand.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Exists(Fixed + L"\\saves")) << "the default folder's path leads to the other folder";

    const ProgramRun run = RunProgram(Program);

    ExpectFailureBox(run);
    EXPECT_EQ(Lines{L"Remove refused : " + Fixed}, run.traceLines);
    EXPECT_EQ(L"saves velstrand.exe", ListFolder(victim));
    EXPECT_EQ(L"slot1.sav", ListFolder(victim + L"\\saves"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              AttributesOf(victim + L"\\velstrand.exe") & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, AttributesOf(Parent) & FILE_ATTRIBUTE_REPARSE_POINT) << "the link itself stays";

    EXPECT_TRUE(MoveFileW(L"C:\\Tamrel", (Planted + L"\\Tamrel").c_str())) << "put back out of the way";
}

// A chain made from the Linux side, one folder relative to the one above.
TEST_F(RemovalRun, ADeepChainOfFoldersIsRemoved)
{
    MakeParent();
    ASSERT_TRUE(MoveFileW(L"C:\\fixtures\\deep\\Launcher", Fixed.c_str())) << "fixture missing: run wine_setup";

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_TRUE(Exists(Parent));
}

} // namespace
