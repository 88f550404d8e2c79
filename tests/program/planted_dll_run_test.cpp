// A download folder may hold DLLs that a web page saved there unasked, under
// the names of DLLs that Windows loads on demand and looks for beside the
// program first. Wine, told to prefer a DLL found beside the program for
// those names, plays that loader.
#include <string>

#include "tests/program/removal_run_fixture.h"

namespace {

const std::wstring AppDefaults = L"Software\\Wine\\AppDefaults\\LauncherRemover.exe";

TEST_F(RemovalRun, DllsPlantedBesideTheProgramAreNeverLoaded)
{
    const std::wstring downloads = NewScratchFolder(L"Downloads");
    const std::wstring saved = downloads + L"\\LauncherRemover.exe";
    ASSERT_TRUE(CopyFileW(Program.c_str(), saved.c_str(), TRUE));
    const std::wstring preferNative = L"native,builtin";
    for (const std::wstring name : {L"uxtheme", L"dwmapi"}) {
        const std::wstring planted = std::wstring(downloads).append(L"\\").append(name).append(L".dll");
        ASSERT_TRUE(CopyFileW(L"C:\\harness\\planted_dll.dll", planted.c_str(), TRUE));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetKeyValueW(HKEY_CURRENT_USER, (AppDefaults + L"\\DllOverrides").c_str(), name.c_str(), REG_SZ,
                                  preferNative.c_str(), static_cast<DWORD>((preferNative.size() + 1) * 2)));
    }

    const ProgramRun run = RunCopyFrom(saved);
    RegDeleteTreeW(HKEY_CURRENT_USER, AppDefaults.c_str());

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_EQ(L"LauncherRemover.exe dwmapi.dll uxtheme.dll", ListFolder(downloads)) << "a planted DLL left its mark";
}

} // namespace
