// The real program where every user runs it, the 32-bit program on 64-bit
// Windows (mode wow64): a launcher of the other width, the machine's two
// registry views, the native Program Files.
#include <string>

#include "tests/program/removal_run_fixture.h"
#include "tests/support/fake_launchers.h"
#include "tests/support/throwaway_machine.h"
#include "tests/support/uninstall_entry.h"

namespace {

bool IsWow64(HANDLE process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

std::wstring NativeProgramFiles()
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", folder, MAX_PATH);
    return length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// A 64-bit launcher, run from the native Program Files and holding a file of
// its install open, is ended by the 32-bit program, and its install goes.
TEST_F(RemovalRun, SixtyFourBitLauncherInTheNativeProgramFilesIsEndedAndRemoved)
{
    if (!IsWow64(GetCurrentProcess())) {
        GTEST_SKIP() << "a 32-bit program on 64-bit Windows only (mode wow64)";
    }
    const std::wstring programFiles = NativeProgramFiles();
    ASSERT_FALSE(programFiles.empty());
    const std::wstring install = programFiles + L"\\" + Unique(L"Rinop");
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFolder(install + L"\\data"));
    FakeLaunchers fakes;
    HANDLE launcher = fakes.Start(install + L"\\velstrand.exe", install + L"\\data\\session.db", FakeLauncher64Image);
    ASSERT_NE(nullptr, launcher) << "the harness stages fake_launcher64.exe in mode wow64";
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

// The launcher straight in a shared folder, beside a game that the machine
// lists in one registry view only: either view keeps the folder.
TEST_F(RemovalRun, ProgramListedInOneRegistryViewOnlyKeepsTheSharedFolder)
{
    if (!MachineHasTwoRegistryViews()) {
        GTEST_SKIP() << "32-bit Windows (mode x86) has one registry view";
    }
    const std::wstring games = NewScratchFolder(L"Games");
    const std::wstring other = games + L"\\Other";
    const DWORD saveAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(MakeFile(games + L"\\velstrand.exe"));
    ASSERT_TRUE(MakeFolder(other));
    ASSERT_TRUE(MakeFile(other + L"\\save.dat", saveAttributes));
    SetLauncherValue(L"location", games + L"\\velstrand.exe");

    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const UninstallEntry entry(HKEY_LOCAL_MACHINE, view, other);
        ASSERT_FALSE(entry.IsSeenIn(view == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY));

        const ProgramRun run = RunProgram(Program);

        ExpectFailureBox(run);
        EXPECT_EQ(Lines{L"Remove refused : " + games}, run.traceLines) << (view == KEY_WOW64_64KEY ? "64" : "32");
    }
    EXPECT_EQ(L"Other velstrand.exe", ListFolder(games));
    EXPECT_EQ(saveAttributes, AttributesOf(other + L"\\save.dat") & saveAttributes);
}

} // namespace
