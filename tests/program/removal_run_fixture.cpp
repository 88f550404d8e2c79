#include "tests/program/removal_run_fixture.h"

#include "tests/support/throwaway_machine.h"

const std::wstring Program = L"C:\\harness\\LauncherRemover.exe";
const std::wstring Parent = L"C:\\Tamrel\\Rinop";
const std::wstring Fixed = L"C:\\Tamrel\\Rinop\\Launcher";
const std::wstring LauncherKey = L"Software\\tamrel\\shared\\6D1F0A83-C47E-42b9-9E05-B7C3148A6F2D";

namespace {

const std::wstring Caption = L"리놉 하르벤 삭제";

void ExpectBox(const ProgramRun& run, const std::wstring& text, BoxIcon icon)
{
    ASSERT_TRUE(run.exited);
    ASSERT_FALSE(run.crashed) << "exception 0x" << std::hex << run.crashCode;
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(1, run.boxesShown);
    EXPECT_EQ(Caption, run.caption);
    EXPECT_EQ(text, run.text);
    EXPECT_EQ(icon, run.icon);
}

} // namespace

void SetLauncherValue(const std::wstring& name, const std::wstring& text)
{
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, LauncherKey.c_str(), name.c_str(), REG_SZ, text.c_str(), bytes));
}

bool LauncherValueExists(const std::wstring& name)
{
    return RegGetValueW(HKEY_CURRENT_USER, LauncherKey.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

ProgramRun RunCopyFrom(const std::wstring& path)
{
    RunOptions options;
    options.workingFolder = path.substr(0, path.rfind(L'\\'));
    return RunProgram(path, options);
}

TemporaryFolderSetTo::TemporaryFolderSetTo(const std::wstring& folder)
{
    wchar_t saved[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    hadOne_ = length > 0 && length < MAX_PATH;
    saved_.assign(saved, hadOne_ ? length : 0);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
}

TemporaryFolderSetTo::~TemporaryFolderSetTo()
{
    SetEnvironmentVariableW(L"TMP", hadOne_ ? saved_.c_str() : nullptr);
}

void RemovalRun::SetUp()
{
    REQUIRE_THROWAWAY_MACHINE();
    REQUIRE_HARNESS_FILES();
    ASSERT_TRUE(DeleteTestTree(L"C:\\Tamrel")) << "a clean start";
    RegDeleteTreeW(HKEY_CURRENT_USER, LauncherKey.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, LauncherKey.c_str());
}

void RemovalRun::TearDown()
{
    DeleteTestTree(L"C:\\Tamrel");
}

void RemovalRun::MakeParent()
{
    CreateDirectoryW(L"C:\\Tamrel", nullptr);
    CreateDirectoryW(Parent.c_str(), nullptr);
}

void RemovalRun::ExpectSuccessBox(const ProgramRun& run)
{
    ExpectBox(run, L"성공!", BoxIcon::Information);
}

void RemovalRun::ExpectFailureBox(const ProgramRun& run)
{
    ExpectBox(run, L"문제 발생!", BoxIcon::Exclamation);
}

void RemovalRun::ExpectKeptWithoutATemporaryFolder(const std::wstring& install, const std::wstring& saved)
{
    ProgramRun stuck;
    {
        TemporaryFolderSetTo missing(L"C:\\no-such-temporary-folder");
        stuck = RunCopyFrom(saved);
    }

    ExpectFailureBox(stuck);
    EXPECT_EQ(0, stuck.copiesFollowed);
    EXPECT_EQ(Lines{L"Delete falied : uninstall.exe"}, stuck.traceLines);
    EXPECT_EQ(L"tools velstrand.exe", ListFolder(install));
    EXPECT_EQ(L"uninstall.exe", ListFolder(install + L"\\tools"));
}

void RemovalRun::ExpectFinished(const ProgramRun& run, const std::wstring& install)
{
    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(install));
}

void RemovalRun::ExpectFinishedFromElsewhere(const std::wstring& install)
{
    ExpectFinished(RunProgram(Program), install);
}

void RemovalRun::ExpectFinishedFromThere(const std::wstring& saved, const std::wstring& install)
{
    ExpectFinished(RunCopyFrom(saved), install);
}
