// The registered folder is refused when another installed program lives in
// it: entries written to the list of installed programs of this throwaway
// machine (both registry views of the machine's list, and the user's), on
// real folders whose files a refusal must leave as they were.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/guard/refusal_checks.h"
#include "tests/support/machine_width.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/throwaway_machine.h"
#include "tests/support/uninstall_entry.h"

namespace {

// The launcher installed straight into a shared games folder, as an
// installer that adds no subfolder of its own leaves it, so that the folder
// derived from its location is Games itself. Another game may live in
// Games\Other.
class InstalledPrograms : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_THROWAWAY_MACHINE();
        games_ = NewScratchFolder(L"Games");
        location_ = games_ + L"\\velstrand.exe";
        other_ = games_ + L"\\Other";
        ASSERT_TRUE(MakeFile(location_, FILE_ATTRIBUTE_READONLY));
    }

    std::wstring games_;
    std::wstring location_;
    std::wstring other_;
};

TEST_F(InstalledPrograms, ProgramOfTheMachineInsideIsRefusedInEitherRegistryView)
{
    const Sentinel saves(other_);
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const UninstallEntry entry(HKEY_LOCAL_MACHINE, view, other_);
        // On a 64-bit machine each view is the other's blind spot, so both
        // are really read; 32-bit Windows (mode x86) has one view.
        if (MachineHasTwoRegistryViews()) {
            EXPECT_NE(entry.IsSeenIn(KEY_WOW64_64KEY), entry.IsSeenIn(KEY_WOW64_32KEY));
        }
        ExpectRefused(location_, games_);
    }
    saves.ExpectUntouched();
    EXPECT_TRUE(Exists(location_));
}

// Each program's parent folder is identified once and then looked up for
// the next program in it: the lookup must find that parent, not one known
// already (here one that sorts first, from another hive and view).
TEST_F(InstalledPrograms, ProgramInsideIsFoundAmongProgramsInOtherFolders)
{
    const Sentinel saves(other_);
    const std::wstring before = NewScratchFolder(L"AVendor");
    const std::wstring after = NewScratchFolder(L"ZVendor");
    ASSERT_TRUE(MakeFolder(before + L"\\Tool"));
    ASSERT_TRUE(MakeFolder(after + L"\\Tool"));
    const UninstallEntry first(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, before + L"\\Tool");
    const UninstallEntry last(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, after + L"\\Tool");
    const UninstallEntry inside(HKEY_CURRENT_USER, 0, other_);
    ExpectRefused(location_, games_);
    saves.ExpectUntouched();
}

TEST_F(InstalledPrograms, ProgramOfTheUserDeepInsideIsRefused)
{
    ASSERT_TRUE(MakeFolder(other_));
    const Sentinel saves(other_ + L"\\bin");
    const UninstallEntry entry(HKEY_CURRENT_USER, 0, other_ + L"\\bin");
    ExpectRefused(location_, games_);
    saves.ExpectUntouched();
    EXPECT_TRUE(Exists(location_));
}

// The entry is judged by the folder it leads to, not by its text.
TEST_F(InstalledPrograms, AnySpellingOfTheProgramsFolderCounts)
{
    const Sentinel saves(other_);
    std::wstring upper = other_;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    const std::wstring spellings[] = {upper, other_ + L"\\", L"\"" + other_ + L"\"", games_ + L"\\.\\Other",
                                      games_ + L"\\Other\\..\\Other"};
    for (const std::wstring& spelling : spellings) {
        const UninstallEntry entry(HKEY_CURRENT_USER, 0, spelling);
        ExpectRefused(location_, games_);
    }
    {
        ASSERT_EQ(L"C:", other_.substr(0, 2));
        const UninstallEntry entry(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"%SystemDrive%" + other_.substr(2),
                                   REG_EXPAND_SZ);
        ExpectRefused(location_, games_);
    }
    saves.ExpectUntouched();
}

// Links made by the Wine harness: a game library linked from
// C:\fixtures\GameLib to C:\fixtures\RealGames, through which the launcher's
// location or the other program's entry may each go, and
// C:\fixtures\ProgramLink, a link elsewhere that is itself the other
// program's folder (RealGames\Shared\Other).
TEST_F(InstalledPrograms, ProgramReachedThroughALinkCounts)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring real = L"C:\\fixtures\\RealGames\\Shared";
    const std::wstring linked = L"C:\\fixtures\\GameLib\\Shared";
    ASSERT_TRUE(DeleteTestTree(real));
    ASSERT_TRUE(MakeFolder(real));
    ASSERT_TRUE(MakeFile(real + L"\\velstrand.exe"));
    const Sentinel saves(real + L"\\Other");
    for (const std::wstring& program : {linked + L"\\Other", std::wstring(L"C:\\fixtures\\ProgramLink")}) {
        const UninstallEntry entry(HKEY_CURRENT_USER, 0, program);
        ExpectRefused(real + L"\\velstrand.exe", real);
    }
    {
        const UninstallEntry entry(HKEY_CURRENT_USER, 0, real + L"\\Other");
        ExpectRefused(linked + L"\\velstrand.exe", linked);
    }
    saves.ExpectUntouched();
    EXPECT_TRUE(Exists(real + L"\\velstrand.exe"));
}

TEST_F(InstalledPrograms, TheLaunchersOwnEntryAndProgramsBesideOrAboveDoNotCount)
{
    ASSERT_TRUE(MakeFolder(games_ + L"\\data", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFile(games_ + L"\\data\\cache.pak", FILE_ATTRIBUTE_READONLY));
    const std::wstring beside = NewScratchFolder(L"Beside");
    const std::wstring lookalike = games_ + L"-Other"; // its text starts like Games
    ASSERT_TRUE(MakeFolder(lookalike));
    const UninstallEntry own(HKEY_CURRENT_USER, 0, games_ + L"\\");
    const UninstallEntry ownForTheMachine(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, games_);
    const UninstallEntry besideEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, beside);
    const UninstallEntry lookalikeEntry(HKEY_CURRENT_USER, 0, lookalike);
    const UninstallEntry above(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"C:\\scratch");
    const UninstallEntry root(HKEY_CURRENT_USER, 0, L"C:\\");

    ExpectRemoved(location_, games_);
    EXPECT_TRUE(Exists(beside));
    EXPECT_TRUE(Exists(lookalike));
}

// Only an entry that names an existing folder in full counts; stale or
// malformed entries, which real machines carry, must not block a removal.
TEST_F(InstalledPrograms, EntriesThatLeadToNoFolderRefuseNothing)
{
    // The relative spellings would reach Other were they resolved.
    ASSERT_TRUE(MakeFolder(other_));
    ASSERT_TRUE(MakeFile(other_ + L"\\game.exe"));
    ASSERT_TRUE(MakeFile(games_ + L"\\readme.txt"));
    ASSERT_EQ(L"C:\\", other_.substr(0, 3));
    const UninstallEntry empty(HKEY_CURRENT_USER, 0, L"");
    const UninstallEntry rootRelative(HKEY_CURRENT_USER, 0, other_.substr(2));
    const UninstallEntry driveRelative(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"C:" + other_.substr(3));
    const UninstallEntry missing(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, games_ + L"\\Missing");
    const UninstallEntry aFile(HKEY_CURRENT_USER, 0, games_ + L"\\readme.txt");
    const UninstallEntry notText(HKEY_CURRENT_USER, 0, other_, REG_BINARY);

    ExpectRemoved(location_, games_);
}

} // namespace
