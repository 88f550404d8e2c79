// The launcher installed on a second disk, the remover saved into its folder
// and started there, the user's temporary folder on drive C:. The program's
// own file cannot be moved off its drive, so the run is handed to a copy of
// the program in the temporary folder: still one run, one box.
#include <fstream>
#include <iterator>
#include <string>

#include "tests/program/removal_run_fixture.h"

namespace {

// The harness maps F: onto a tmpfs of its own: a rename from it to C: fails
// as between two disks.
const std::wstring Install = L"F:\\Games\\Rinop";
const std::wstring Saved = Install + L"\\tools\\uninstall.exe";
const std::wstring Sibling = L"F:\\Games\\Other";

std::string BytesOf(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class SecondDriveRun : public RemovalRun {
protected:
    void SetUp() override
    {
        RemovalRun::SetUp();
        if (GetDriveTypeW(L"F:\\") == DRIVE_NO_ROOT_DIR) {
            std::wifstream why(L"C:\\fixtures\\SecondDisk-missing.txt");
            std::wstring reason;
            std::getline(why, reason);
            ASSERT_FALSE(reason.empty()) << "drive F: is missing and the harness did not say why";
            GTEST_SKIP() << "no drive F:: " << std::string(reason.begin(), reason.end());
        }
        ASSERT_TRUE(DeleteTestTree(L"F:\\Games")) << "a clean start";
        ASSERT_TRUE(MakeFolder(L"F:\\Games"));
        ASSERT_TRUE(MakeFolder(Install));
        ASSERT_TRUE(MakeFile(Install + L"\\velstrand.exe"));
        ASSERT_TRUE(MakeFolder(Install + L"\\data"));
        ASSERT_TRUE(MakeFile(Install + L"\\data\\pack.dat", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(MakeFolder(Install + L"\\tools"));
        ASSERT_TRUE(CopyFileW(Program.c_str(), Saved.c_str(), TRUE));
        ASSERT_TRUE(MakeFolder(Sibling));
        ASSERT_TRUE(MakeFile(Sibling + L"\\save.dat"));
        SetLauncherValue(L"location", Install + L"\\velstrand.exe");
        SetLauncherValue(L"version", L"3.1.0");
    }
    void TearDown() override
    {
        DeleteTestTree(L"F:\\Games");
        RemovalRun::TearDown();
    }
};

// Both folders go, the program's file with its folder, in one run: the
// started program ends without a box, and its copy, once it has, does the
// run and shows the box. The copy runs from a folder of its own, made new
// in the temporary folder, which the next run removes; a folder there that
// only looks like one of the program's is kept.
TEST_F(SecondDriveRun, StartedFromTheInstallItHandsTheRunToACopyAndFinishes)
{
    MakeParent();
    ASSERT_TRUE(MakeFolder(Fixed));
    ASSERT_TRUE(MakeFile(Fixed + L"\\velstrand.exe"));
    const std::wstring temporary = NewScratchFolder(L"second-drive-temp");
    const std::wstring lookAlike = L"LauncherRemover-00112233445566778899aabbccddeeff";
    ASSERT_TRUE(MakeFolder(temporary + L"\\" + lookAlike));
    ASSERT_TRUE(MakeFile(temporary + L"\\" + lookAlike + L"\\uninstall.exe"));
    ProgramRun run;
    {
        TemporaryFolderSetTo onDriveC(temporary);
        run = RunCopyFrom(Saved);
    }

    ExpectSuccessBox(run);
    EXPECT_EQ(1, run.copiesFollowed);
    EXPECT_TRUE(run.endedBeforeBox) << "the started program must end before its copy reports";
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(Install));
    EXPECT_FALSE(Exists(Fixed));
    EXPECT_EQ(L"save.dat", ListFolder(Sibling));
    EXPECT_FALSE(LauncherValueExists(L"version"));
    const std::wstring places = ListFolder(temporary);
    ASSERT_EQ(lookAlike.size() * 2 + 1, places.size()) << places;
    const std::wstring place = places.substr(places.find(lookAlike) == 0 ? lookAlike.size() + 1 : 0, lookAlike.size());
    EXPECT_EQ(0u, place.find(L"LauncherRemover-")) << places;
    EXPECT_EQ(L"uninstall.exe", ListFolder(temporary + L"\\" + place)) << "the copy alone";
    EXPECT_TRUE(BytesOf(Program) == BytesOf(temporary + L"\\" + place + L"\\uninstall.exe"))
        << "the copy is the program";

    ProgramRun next;
    {
        TemporaryFolderSetTo onDriveC(temporary);
        next = RunProgram(Program);
    }
    ExpectSuccessBox(next);
    EXPECT_EQ(lookAlike, ListFolder(temporary)) << "nothing of the program is left";
    EXPECT_EQ(L"uninstall.exe", ListFolder(temporary + L"\\" + lookAlike));
}

// The copy's run fails on a file held open: the file the user started stays
// where it was, with the named file, and started there again once the file
// is let go, it finishes.
TEST_F(SecondDriveRun, AFailedHandedRunKeepsTheStartedProgramForTheNextRun)
{
    ASSERT_TRUE(MakeFile(Install + L"\\held.dat"));
    HANDLE held = HoldOpen(Install + L"\\held.dat");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const std::wstring temporary = NewScratchFolder(L"second-drive-failed");
    ProgramRun failed;
    {
        TemporaryFolderSetTo onDriveC(temporary);
        failed = RunCopyFrom(Saved);
    }
    CloseHandle(held);

    ExpectFailureBox(failed);
    EXPECT_EQ(1, failed.copiesFollowed);
    EXPECT_EQ(Lines{L"Delete falied : held.dat"}, failed.traceLines);
    EXPECT_EQ(L"held.dat tools velstrand.exe", ListFolder(Install));
    EXPECT_TRUE(Exists(Saved) && BytesOf(Program) == BytesOf(Saved)) << "the program the user started stays";

    ProgramRun retried;
    {
        TemporaryFolderSetTo onDriveC(temporary);
        retried = RunCopyFrom(Saved);
    }

    ExpectSuccessBox(retried);
    EXPECT_EQ(1, retried.copiesFollowed);
    EXPECT_EQ(Lines{}, retried.traceLines);
    EXPECT_FALSE(Exists(Install));
    EXPECT_EQ(L"save.dat", ListFolder(Sibling));
}

// Where no copy can be written (here the temporary folder is missing), the
// run goes on as it would without one: the program and the named file stay
// for the next run, which, started from anywhere else, finishes.
TEST_F(SecondDriveRun, WithoutACopyTheProgramAndTheNamedFileStayForTheNextRun)
{
    ExpectKeptWithoutATemporaryFolder(Install, Saved);
    EXPECT_FALSE(LauncherValueExists(L"version"));

    ExpectFinishedFromElsewhere(Install);
    EXPECT_EQ(L"save.dat", ListFolder(Sibling));
}

} // namespace
