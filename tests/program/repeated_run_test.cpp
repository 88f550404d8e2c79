// Runs that follow or overlap another: what a user who saw "문제 발생!" and
// tried again, or who double-clicked, gets from the real program.
#include <string>
#include <thread>

#include "tests/program/removal_run_fixture.h"
#include "tests/support/throwaway_machine.h"

namespace {

// The retry itself, after a file held open, is
// RemovalRun.FolderLeftByAFailedRunIsRemovedByTheNext.

// A double click starts the program twice, 0.3 s apart. The second start
// waits for the first's removal, then finds nothing left: both boxes tell
// the truth, and no line reports a file the other start had deleted.
TEST_F(RemovalRun, SecondStartWaitsForTheFirstAndBothSucceed)
{
    const std::wstring install = NewScratchFolder(L"double") + L"\\VL";
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFile(install + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    for (int folder = 0; folder < 30; ++folder) {
        const std::wstring sub = install + L"\\pack" + std::to_wstring(folder);
        ASSERT_TRUE(MakeFolder(sub));
        for (int file = 0; file < 100; ++file) {
            ASSERT_TRUE(MakeFile(sub + L"\\f" + std::to_wstring(file) + L".dat"));
        }
    }
    SetLauncherValue(L"location", install + L"\\velstrand.exe");

    ProgramRun second;
    std::thread secondStart([&second] {
        Sleep(300);
        second = RunProgram(Program);
    });
    const ProgramRun first = RunProgram(Program);
    secondStart.join();

    ExpectSuccessBox(first);
    ExpectSuccessBox(second);
    EXPECT_EQ(Lines{}, first.traceLines);
    EXPECT_EQ(Lines{}, second.traceLines);
    EXPECT_FALSE(Exists(install));
}

// The lock covers the removal, not the box: while the first start's box is
// still up, a second start makes its whole run and shows its own.
TEST_F(RemovalRun, SecondStartRunsWhileTheFirstStartsBoxIsStillUp)
{
    const std::wstring install = NewScratchFolder(L"box-up") + L"\\VL";
    ASSERT_TRUE(MakeFolder(install));
    ASSERT_TRUE(MakeFile(install + L"\\velstrand.exe"));
    SetLauncherValue(L"location", install + L"\\velstrand.exe");

    RunOptions leftUp;
    leftUp.closeBox = false;
    leftUp.timeoutMs = 60000;
    ProgramRun first;
    std::thread firstStart([&first, &leftUp] { first = RunProgram(Program, leftUp); });
    HWND firstBox = nullptr;
    for (int tries = 0; tries < 500 && firstBox == nullptr; ++tries) {
        Sleep(100);
        HWND box = FindWindowW(L"#32770", L"리놉 하르벤 삭제");
        firstBox = box != nullptr && IsWindowVisible(box) ? box : nullptr;
    }
    ProgramRun second;
    if (firstBox != nullptr) {
        RunOptions bounded;
        bounded.timeoutMs = 30000; // a second start that waits for the box ends here
        second = RunProgram(Program, bounded);
        PostMessageW(firstBox, WM_COMMAND, IDOK, 0);
    }
    firstStart.join();

    ASSERT_NE(nullptr, firstBox) << "the first start showed no box";
    ExpectSuccessBox(first);
    ExpectSuccessBox(second);
    EXPECT_FALSE(Exists(install));
}

// Names that plain paths rewrite (a trailing dot or space, device names),
// as tools that write through extended-length paths leave them; the harness
// makes them from the Linux side, since no plain path can.
TEST_F(RemovalRun, NamesNoPlainPathReachesAreRemoved)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring install = L"C:\\fixtures\\oddnames";
    ASSERT_EQ(L"aux con nul.txt space  trail. velstrand.exe", ListFolder(install))
        << "fixture missing: run the wine_setup test";
    SetLauncherValue(L"location", install + L"\\velstrand.exe");

    const ProgramRun run = RunProgram(Program);

    ExpectSuccessBox(run);
    EXPECT_EQ(Lines{}, run.traceLines);
    EXPECT_FALSE(Exists(install));
}

} // namespace
