// The registered install folder through the real program: what the launcher's
// key says, what is removed, what is left in the key, and the box.
#include <string>
#include <vector>

#include "tests/program/removal_run_fixture.h"
#include "tests/support/machine_width.h"
#include "tests/support/throwaway_machine.h"
#include "tests/support/uninstall_entry.h"

namespace {

// -1 when the key does not exist.
int LauncherValueCount()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, LauncherKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return -1;
    }
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
}

// An installation outside the default folder: <scratch>\bin\velstrand.exe.
std::wstring InstallElsewhere(const std::wstring& root)
{
    EXPECT_TRUE(MakeFolder(root + L"\\bin"));
    EXPECT_TRUE(MakeFile(root + L"\\bin\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(MakeFolder(root + L"\\bin\\data", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(MakeFile(root + L"\\bin\\data\\cache.pak"));
    return root + L"\\bin\\velstrand.exe";
}

TEST_F(RemovalRun, MissingKeyIsCreatedEmpty)
{
    ASSERT_EQ(-1, LauncherValueCount());
    const ProgramRun run = RunProgram(Program);
    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_EQ(0, LauncherValueCount());
}

TEST_F(RemovalRun, RegisteredFolderIsRemovedAndOnlyTheVersionValueDeleted)
{
    const std::wstring root = NewScratchFolder(L"registered");
    SetLauncherValue(L"location", InstallElsewhere(root));
    SetLauncherValue(L"version", L"3.1.4");
    SetLauncherValue(L"language", L"ko");

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(root + L"\\bin"));
    EXPECT_TRUE(Exists(root)) << "the parent of the install folder stays";
    EXPECT_FALSE(LauncherValueExists(L"version"));
    EXPECT_TRUE(LauncherValueExists(L"location"));
    EXPECT_TRUE(LauncherValueExists(L"language"));
}

TEST_F(RemovalRun, RegisteredFolderAlreadyGoneIsASuccess)
{
    SetLauncherValue(L"location", NewScratchFolder(L"gone") + L"\\bin\\velstrand.exe");
    SetLauncherValue(L"version", L"3.1.4");
    const ProgramRun run = RunProgram(Program);
    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(LauncherValueExists(L"version"));
}

// The user's remedy for a failure is to close what held the files and run
// it again: the first run keeps the file the location names, by which the
// second recognises the folder and finishes.
TEST_F(RemovalRun, FolderLeftByAFailedRunIsRemovedByTheNext)
{
    const std::wstring root = NewScratchFolder(L"retry");
    SetLauncherValue(L"location", InstallElsewhere(root));
    SetLauncherValue(L"version", L"3.1.4");
    HANDLE held = HoldOpen(root + L"\\bin\\data\\cache.pak");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    const ProgramRun failed = RunProgram(Program);
    CloseHandle(held);

    ExpectFailureBox(failed);
    EXPECT_EQ(Lines{L"Delete falied : cache.pak"}, failed.traceLines);
    EXPECT_EQ(L"data velstrand.exe", ListFolder(root + L"\\bin"));
    EXPECT_EQ(L"cache.pak", ListFolder(root + L"\\bin\\data"));
    EXPECT_FALSE(LauncherValueExists(L"version"));
    EXPECT_FALSE(Exists(Fixed));

    const ProgramRun retried = RunProgram(Program);

    ExpectSuccessBox(retried);
    EXPECT_EQ(Lines{}, retried.traceLines);
    EXPECT_FALSE(Exists(root + L"\\bin"));
    EXPECT_TRUE(LauncherValueExists(L"location"));
}

TEST_F(RemovalRun, RegisteredFolderThatIsTheDefaultOneIsRemovedOnce)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    SetLauncherValue(L"location", Fixed + L"\\velstrand.exe");

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Fixed));
}

TEST_F(RemovalRun, DefaultFolderRegisteredAndBlockedIsTriedTwiceAndFinishedByTheNextRun)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFile(Fixed + L"\\save.dat"));
    SetLauncherValue(L"location", Fixed + L"\\velstrand.exe");
    HANDLE held = HoldOpen(Fixed + L"\\save.dat");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    const ProgramRun run = RunProgram(Program);
    CloseHandle(held);

    ExpectFailureBox(run);
    EXPECT_EQ((Lines{L"Delete falied : save.dat", L"Delete falied : save.dat"}), run.traceLines);
    EXPECT_EQ(L"save.dat", ListFolder(Fixed));

    // The default folder's own walk took the named file; the folder needs no
    // such proof, as it goes anyway.
    const ProgramRun retried = RunProgram(Program);
    ExpectSuccessBox(retried);
    EXPECT_EQ(Lines{}, retried.traceLines);
    EXPECT_FALSE(Exists(Fixed));
}

// The stages run in their fixed order: when both folders fail, each on a
// file of its own, the registered folder's line comes first.
TEST_F(RemovalRun, RegisteredFolderIsRemovedBeforeTheDefaultOne)
{
    const std::wstring root = NewScratchFolder(L"order");
    SetLauncherValue(L"location", InstallElsewhere(root));
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFile(Fixed + L"\\update.bin"));
    HANDLE registeredHeld = HoldOpen(root + L"\\bin\\data\\cache.pak");
    HANDLE defaultHeld = HoldOpen(Fixed + L"\\update.bin");
    ASSERT_NE(INVALID_HANDLE_VALUE, registeredHeld);
    ASSERT_NE(INVALID_HANDLE_VALUE, defaultHeld);

    const ProgramRun run = RunProgram(Program);
    CloseHandle(registeredHeld);
    CloseHandle(defaultHeld);

    ExpectFailureBox(run);
    EXPECT_EQ((Lines{L"Delete falied : cache.pak", L"Delete falied : update.bin"}), run.traceLines);
}

TEST_F(RemovalRun, RefusedLocationLeavesEverythingAndFailsTheRun)
{
    // A location naming a folder, not a file in it: its parent would go.
    const std::wstring root = NewScratchFolder(L"refused");
    ASSERT_TRUE(MakeFolder(root + L"\\Games"));
    ASSERT_TRUE(MakeFile(root + L"\\Games\\other-game.sav"));
    ASSERT_TRUE(MakeFolder(root + L"\\Games\\App"));
    ASSERT_TRUE(MakeFile(root + L"\\Games\\App\\app.exe"));
    SetLauncherValue(L"location", root + L"\\Games\\App");
    SetLauncherValue(L"version", L"3.1.4");

    const ProgramRun run = RunProgram(Program);

    ExpectFailureBox(run);
    EXPECT_EQ(Lines{L"Remove refused : " + root + L"\\Games"}, run.traceLines);
    EXPECT_EQ(L"App other-game.sav", ListFolder(root + L"\\Games"));
    EXPECT_EQ(L"app.exe", ListFolder(root + L"\\Games\\App"));
    EXPECT_FALSE(LauncherValueExists(L"version"));
}

// The launcher installed straight into a shared folder, beside another game
// registered as an installed program: removing the folder would take the
// other game with it. On 64-bit Windows the machine's list has two registry
// views, each blind to the other: a game listed in either alone counts.
TEST_F(RemovalRun, SharedFolderHoldingAnotherInstalledProgramIsRefused)
{
    const std::wstring games = NewScratchFolder(L"Games");
    const std::wstring other = games + L"\\Other";
    const DWORD saveAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(MakeFile(games + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFolder(other));
    ASSERT_TRUE(MakeFile(other + L"\\save.dat", saveAttributes));
    SetLauncherValue(L"location", games + L"\\velstrand.exe");
    SetLauncherValue(L"version", L"3.1.4");
    std::vector<REGSAM> views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    if (!MachineHasTwoRegistryViews()) {
        views = {0}; // 32-bit Windows (mode x86) has one view: no view can be left unread
    }

    for (const REGSAM view : views) {
        const UninstallEntry entry(HKEY_LOCAL_MACHINE, view, other);
        if (view != 0) {
            ASSERT_FALSE(entry.IsSeenIn(view == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY));
        }

        const ProgramRun run = RunProgram(Program);

        ExpectFailureBox(run);
        EXPECT_EQ(Lines{L"Remove refused : " + games}, run.traceLines) << "view 0x" << std::hex << view;
    }
    EXPECT_EQ(L"Other velstrand.exe", ListFolder(games));
    EXPECT_EQ(saveAttributes, AttributesOf(other + L"\\save.dat") & saveAttributes);
    EXPECT_FALSE(LauncherValueExists(L"version"));
}

// The profile reached through a link in a parent folder (made by the Wine
// harness): the Documents folder is still the Documents folder.
TEST_F(RemovalRun, ProtectedFolderBehindALinkIsRefused)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring documents = L"C:\\fixtures\\aliases\\profile\\Documents";
    const std::wstring saved = documents + L"\\" + std::to_wstring(GetTickCount64()) + L"-save.dat";
    const std::wstring named = documents + L"\\velstrand.exe";
    ASSERT_TRUE(MakeFile(saved, FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(named));
    SetLauncherValue(L"location", named);
    SetLauncherValue(L"version", L"3.1.4");

    const ProgramRun run = RunProgram(Program);

    ExpectFailureBox(run);
    EXPECT_EQ(Lines{L"Remove refused : " + documents}, run.traceLines);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), AttributesOf(saved) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Exists(named));
    EXPECT_FALSE(LauncherValueExists(L"version"));
    SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(saved.c_str());
    DeleteFileW(named.c_str());
}

TEST_F(RemovalRun, InstallInALinkedGameLibraryIsRemoved)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring name = L"VL-" + std::to_wstring(GetTickCount64());
    const std::wstring real = L"C:\\fixtures\\RealGames\\" + name;
    ASSERT_TRUE(MakeFolder(real));
    ASSERT_TRUE(MakeFile(real + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(real + L"\\game.pak"));
    SetLauncherValue(L"location", L"C:\\fixtures\\GameLib\\" + name + L"\\velstrand.exe");

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(real));
    EXPECT_NE(0u, AttributesOf(L"C:\\fixtures\\GameLib") & FILE_ATTRIBUTE_REPARSE_POINT) << "the link stays";
}

// Read as missing, a location too long to read would pass for "nothing
// installed" and the run would report success.
TEST_F(RemovalRun, LocationTooLongToReadIsRefused)
{
    const std::wstring root = NewScratchFolder(L"too-long");
    SetLauncherValue(L"location", root + L"\\" + std::wstring(1100, L'x') + L"\\velstrand.exe");
    SetLauncherValue(L"version", L"3.1.4");

    const ProgramRun run = RunProgram(Program);

    ExpectFailureBox(run);
    EXPECT_EQ(Lines{L"Remove refused : (location too long to read)"}, run.traceLines);
    EXPECT_FALSE(LauncherValueExists(L"version"));
    EXPECT_TRUE(LauncherValueExists(L"location"));
}

} // namespace
