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
