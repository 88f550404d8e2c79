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

// The launcher's usual install names a file in the default folder. With
// C:\Tamrel\Rinop a link to someone's folder, whose own Launcher holds no
// launcher, the key does not make that folder the default one: both stages
// refuse it, and every file there keeps its attributes.
TEST_F(RemovalRun, ALinkAboveTheRegisteredDefaultFolderIsRefusedAndWhatItLeadsToKept)
{
    const std::wstring victim = Planted + L"\\victim\\Launcher";
    const std::wstring aside = Planted + L"\\velstrand.exe";
    const std::wstring diary = victim + L"\\diary.txt";
    const std::wstring hidden = victim + L"\\saves\\slot2.sav";
    ASSERT_TRUE(MoveFileW((victim + L"\\velstrand.exe").c_str(), aside.c_str())) << "fixture missing: run wine_setup";
    ASSERT_TRUE(MakeFile(diary, FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(hidden, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MoveFileW((Planted + L"\\Tamrel").c_str(), L"C:\\Tamrel"));
    SetLauncherValue(L"location", Fixed + L"\\velstrand.exe");
    SetLauncherValue(L"version", L"3.1.4");

    const ProgramRun run = RunProgram(Program);

    ExpectFailureBox(run);
    EXPECT_EQ((Lines{L"Remove refused : " + Fixed, L"Remove refused : " + Fixed}), run.traceLines);
    EXPECT_EQ(L"diary.txt saves", ListFolder(victim));
    EXPECT_EQ(L"slot1.sav slot2.sav", ListFolder(victim + L"\\saves"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), AttributesOf(diary) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), AttributesOf(hidden) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(LauncherValueExists(L"version"));

    EXPECT_TRUE(MoveFileW(L"C:\\Tamrel", (Planted + L"\\Tamrel").c_str())) << "put back out of the way";
    for (const std::wstring& made : {diary, hidden}) {
        SetFileAttributesW(made.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(made.c_str());
    }
    MoveFileW(aside.c_str(), (victim + L"\\velstrand.exe").c_str());
}

// A program that keeps C:\Tamrel\Rinop to itself (a backup or sync tool
// copying it) hides the default folder: that is no "nothing there". The
// run fails without touching it, and the next one finishes.
TEST_F(RemovalRun, AFolderAboveTheDefaultFolderHeldByAnotherProgramIsAFailure)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolder(Fixed + L"\\saves"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\saves\\slot1.sav"));
    HANDLE held =
        CreateFileW(Parent.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    const ProgramRun first = RunProgram(Program);
    CloseHandle(held);

    ExpectFailureBox(first);
    const std::wstring line = L"FindFirstFile failed : " + Fixed;
    EXPECT_EQ((Lines{line, line}), first.traceLines);
    EXPECT_EQ(L"saves velstrand.exe", ListFolder(Fixed));
    EXPECT_EQ(L"slot1.sav", ListFolder(Fixed + L"\\saves"));
    EXPECT_NE(0u, AttributesOf(Fixed + L"\\velstrand.exe") & FILE_ATTRIBUTE_READONLY) << "not even reset";

    const ProgramRun second = RunProgram(Program);

    ExpectSuccessBox(second);
    EXPECT_EQ(Lines{}, second.traceLines);
    EXPECT_FALSE(Exists(Fixed));
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
