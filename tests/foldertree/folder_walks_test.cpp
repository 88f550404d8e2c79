// The walks on real folders under C:\scratch, with the trace lines they write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foldertree/folder_walks.h"
#include "tests/support/fake_launchers.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/throwaway_machine.h"
#include "tests/support/trace_capture.h"

namespace {

using Lines = std::vector<std::wstring>;

constexpr DWORD Blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

TEST(FolderWalks, EmptyFolderGetsOnlyItsFinalAction)
{
    const std::wstring folder = NewScratchFolder(L"empty");
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN));
    TraceCapture trace;

    EXPECT_EQ(1, NormalizeTree(folder));
    EXPECT_EQ(0u, AttributesOf(folder) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(1, DeleteTree(folder));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(Lines{}, trace.Lines());
}

TEST(FolderWalks, BlockingAttributesAreClearedAndTheTreeRemovedWhole)
{
    const std::wstring root = NewScratchFolder(L"attributes");
    ASSERT_TRUE(MakeFile(root + L"\\readonly.dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\hidden.dat", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFolder(root + L"\\system", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFile(root + L"\\system\\all.dat", Blocking));
    ASSERT_TRUE(MakeFolder(root + L"\\system\\deeper", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\system\\deeper\\last.dat", FILE_ATTRIBUTE_READONLY));
    TraceCapture trace;

    EXPECT_EQ(1, NormalizeTree(root));
    EXPECT_EQ(0u, AttributesOf(root + L"\\system\\all.dat") & Blocking);
    EXPECT_EQ(0u, AttributesOf(root + L"\\system\\deeper\\last.dat") & Blocking);
    EXPECT_EQ(0u, AttributesOf(root + L"\\system") & Blocking);

    ASSERT_TRUE(SetFileAttributesW((root + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(RemoveFolder(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Lines{}, trace.Lines());
}

TEST(FolderWalks, DeleteAloneTracesAReadOnlyFileAndGoesOn)
{
    const std::wstring root = NewScratchFolder(L"readonly");
    ASSERT_TRUE(MakeFile(root + L"\\a.dat"));
    ASSERT_TRUE(MakeFile(root + L"\\locked.dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\z.dat"));
    TraceCapture trace;

    EXPECT_EQ(0, DeleteTree(root));
    EXPECT_EQ(Lines{L"Delete falied : locked.dat"}, trace.Lines());
    EXPECT_EQ(L"locked.dat", ListFolder(root));
}

TEST(FolderWalks, FileHeldOpenTwoLevelsDownIsTheOnlyThingLeft)
{
    const std::wstring root = NewScratchFolder(L"held");
    const std::wstring middle = root + L"\\middle";
    const std::wstring bottom = middle + L"\\bottom";
    ASSERT_TRUE(MakeFolder(middle));
    ASSERT_TRUE(MakeFolder(bottom));
    ASSERT_TRUE(MakeFile(root + L"\\top.dat"));
    ASSERT_TRUE(MakeFile(middle + L"\\beside.dat"));
    ASSERT_TRUE(MakeFile(bottom + L"\\before.dat"));
    ASSERT_TRUE(MakeFile(bottom + L"\\held.dat"));
    ASSERT_TRUE(MakeFile(bottom + L"\\after.dat"));
    ASSERT_TRUE(MakeFolder(bottom + L"\\sibling"));
    HANDLE held = HoldOpen(bottom + L"\\held.dat");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    TraceCapture trace;
    const bool removed = RemoveFolder(root);
    const Lines& lines = trace.Lines();
    CloseHandle(held);

    EXPECT_FALSE(removed);
    EXPECT_EQ(Lines{L"Delete falied : held.dat"}, lines);
    EXPECT_EQ(L"held.dat", ListFolder(bottom));
    EXPECT_EQ(L"bottom", ListFolder(middle));
    EXPECT_EQ(L"middle", ListFolder(root));
    EXPECT_TRUE(RemoveFolder(root)) << "once closed, the rest goes";
}

// The file a folder is recognised by goes last, once everything else has
// gone: a removal that fails keeps it, and the next one, its obstacle gone,
// finishes without a line of its own.
TEST(FolderWalks, FileKeptForLastOutlivesAFailureAndGoesOnTheRetry)
{
    const std::wstring root = NewScratchFolder(L"last");
    ASSERT_TRUE(MakeFile(root + L"\\a.dat"));
    ASSERT_TRUE(MakeFile(root + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolder(root + L"\\saves"));
    ASSERT_TRUE(MakeFile(root + L"\\saves\\held.dat"));
    ASSERT_TRUE(MakeFile(root + L"\\saves\\slot1.dat"));
    ASSERT_TRUE(MakeFolder(root + L"\\zdata"));
    ASSERT_TRUE(MakeFile(root + L"\\zdata\\pack.dat", FILE_ATTRIBUTE_HIDDEN));
    HANDLE held = HoldOpen(root + L"\\saves\\held.dat");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TraceCapture trace;

    const bool removed = RemoveFolder(root, L"velstrand.exe");
    CloseHandle(held);

    EXPECT_FALSE(removed);
    EXPECT_EQ(Lines{L"Delete falied : held.dat"}, trace.Lines()) << "the kept file is not even tried";
    EXPECT_EQ(L"saves velstrand.exe", ListFolder(root));
    EXPECT_EQ(L"held.dat", ListFolder(root + L"\\saves"));

    EXPECT_TRUE(RemoveFolder(root, L"velstrand.exe"));
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Lines{L"Delete falied : held.dat"}, trace.Lines());
}

// Listed first, the kept file is still tried only after the rest; when it
// cannot be deleted its line is the walk's last.
TEST(FolderWalks, FileKeptForLastThatIsHeldIsTracedLast)
{
    const std::wstring root = NewScratchFolder(L"last-held");
    ASSERT_TRUE(MakeFile(root + L"\\Launcher.exe"));
    ASSERT_TRUE(MakeFolder(root + L"\\data"));
    ASSERT_TRUE(MakeFile(root + L"\\data\\locked.dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\zz.dat"));
    HANDLE held = HoldOpen(root + L"\\Launcher.exe");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TraceCapture trace;

    EXPECT_EQ(0, DeleteTree(root, L"Launcher.exe"));
    EXPECT_EQ(L"Launcher.exe data", ListFolder(root)) << "the read-only file stopped the walk first";
    EXPECT_EQ(Lines{L"Delete falied : locked.dat"}, trace.Lines());

    ASSERT_TRUE(SetFileAttributesW((root + L"\\data\\locked.dat").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0, DeleteTree(root, L"Launcher.exe"));
    CloseHandle(held);
    EXPECT_EQ(L"Launcher.exe", ListFolder(root));
    EXPECT_EQ((Lines{L"Delete falied : locked.dat", L"Delete falied : Launcher.exe"}), trace.Lines());
    EXPECT_TRUE(RemoveFolder(root, L"Launcher.exe"));
}

// A folder is listed in batches (some 130 entries each): both walks work
// through every batch, so read-only files late in the listing go too.
TEST(FolderWalks, AFolderListedInManyBatchesIsRemovedWhole)
{
    const std::wstring root = NewScratchFolder(L"wide");
    for (int file = 0; file < 600; ++file) {
        ASSERT_TRUE(
            MakeFile(root + L"\\entry-" + std::to_wstring(file) + L"-with-a-longer-name.dat", FILE_ATTRIBUTE_READONLY));
    }
    TraceCapture trace;
    EXPECT_TRUE(RemoveFolder(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Lines{}, trace.Lines());
}

// A line written after a sibling subfolder was walked shows the path of the
// folder it is about, not one grown by the sibling's name.
TEST(FolderWalks, ALineAfterASiblingWasWalkedShowsItsOwnPath)
{
    const std::wstring root = NewScratchFolder(L"siblings");
    for (const wchar_t* name : {L"alpha", L"bravo", L"charlie", L"delta"}) {
        ASSERT_TRUE(MakeFolder(root + L"\\" + name));
        ASSERT_TRUE(MakeFile(root + L"\\" + name + L"\\inner.dat"));
    }
    // The walks list as FindFirstFileW does: the last subfolder listed comes
    // after its siblings.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    std::wstring last;
    int listed = 0;
    do {
        if (found.cFileName[0] != L'.') {
            last = found.cFileName;
            ++listed;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    ASSERT_EQ(4, listed);
    HANDLE held = CreateFileW((root + L"\\" + last).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TraceCapture trace;

    const int result = DeleteTree(root);
    CloseHandle(held);

    EXPECT_EQ(0, result);
    EXPECT_EQ(Lines{L"FindFirstFile failed : " + root + L"\\" + last}, trace.Lines());
    EXPECT_EQ(last, ListFolder(root));
}

// An entry that another program deleted, but that is still listed while a
// third holds it (a scanner), counts as deleted: neither walk writes a
// line for it, and the folder goes once the holder lets go.
TEST(FolderWalks, AnEntryDeletedButStillHeldIsWaitedFor)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring root = NewScratchFolder(L"pending");
    ASSERT_TRUE(MakeFolder(root + L"\\sub"));
    ASSERT_TRUE(MakeFile(root + L"\\sub\\pending.dat"));
    ASSERT_TRUE(MakeFile(root + L"\\plain.dat"));
    FakeLaunchers holders;
    ASSERT_NE(nullptr, holders.StartSharedHolder(NewScratchFolder(L"scanner") + L"\\scanner.exe",
                                                 root + L"\\sub\\pending.dat", 1500));
    ASSERT_TRUE(DeleteFileW((root + L"\\sub\\pending.dat").c_str()));
    TraceCapture trace;

    EXPECT_TRUE(RemoveFolder(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Lines{}, trace.Lines());
}

TEST(FolderWalks, MissingFolderIsASuccessWithoutAnyWalk)
{
    const std::wstring missing = NewScratchFolder(L"missing") + L"\\not-there";
    TraceCapture trace;
    EXPECT_TRUE(RemoveFolder(missing));
    EXPECT_EQ(Lines{}, trace.Lines());
}

// Not provoked: a listing that ends in an error midway (Wine never fails FindNextFileW so).
TEST(FolderWalks, APathNamingAFileFailsBothSearches)
{
    const std::wstring file = NewScratchFolder(L"file") + L"\\plain.dat";
    ASSERT_TRUE(MakeFile(file, FILE_ATTRIBUTE_READONLY));
    TraceCapture trace;

    EXPECT_FALSE(RemoveFolder(file));
    const std::wstring line = L"FindFirstFile failed : " + file;
    EXPECT_EQ((Lines{line, line}), trace.Lines());
    EXPECT_TRUE(Exists(file));
    EXPECT_NE(0u, AttributesOf(file) & FILE_ATTRIBUTE_READONLY) << "the file itself is not touched";

    // No path at all is no folder either, not the current drive's root.
    EXPECT_EQ(0, DeleteTree(L""));
    EXPECT_EQ(L"FindFirstFile failed : ", trace.Lines().back());
    EXPECT_TRUE(Exists(L"C:\\scratch"));
}

// A subfolder that cannot be listed (held open without sharing) is still
// reset by its parent after its own walk gave up; only the failed search
// is traced.
TEST(FolderWalks, SubfolderThatCannotBeListedIsStillResetByItsParent)
{
    const std::wstring root = NewScratchFolder(L"unlisted");
    const std::wstring sub = root + L"\\sub";
    ASSERT_TRUE(MakeFolder(sub, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFile(root + L"\\a.dat", FILE_ATTRIBUTE_READONLY));
    HANDLE held =
        CreateFileW(sub.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TraceCapture trace;

    const int result = NormalizeTree(root);
    CloseHandle(held);

    EXPECT_EQ(0, result);
    EXPECT_EQ(Lines{L"FindFirstFile failed : " + sub}, trace.Lines());
    EXPECT_EQ(0u, AttributesOf(sub) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(0u, AttributesOf(root + L"\\a.dat") & FILE_ATTRIBUTE_READONLY);
}

// Folders left behind at the end of their walks (held open, their
// content gone) fail the walk and write no line of their own.
TEST(FolderWalks, FolderThatCannotBeRemovedFailsTheWalkSilently)
{
    const std::wstring root = NewScratchFolder(L"kept");
    ASSERT_TRUE(MakeFolder(root + L"\\sub"));
    ASSERT_TRUE(MakeFile(root + L"\\sub\\a.dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\b.dat"));
    const DWORD listOnly = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE heldSub = CreateFileW((root + L"\\sub").c_str(), GENERIC_READ, listOnly, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, heldSub);
    TraceCapture trace;

    EXPECT_EQ(1, NormalizeTree(root));
    EXPECT_EQ(0, DeleteTree(root)) << "the subfolder stayed";
    CloseHandle(heldSub);
    EXPECT_EQ(L"sub", ListFolder(root));
    EXPECT_EQ(L"", ListFolder(root + L"\\sub"));

    HANDLE heldRoot =
        CreateFileW(root.c_str(), GENERIC_READ, listOnly, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, heldRoot);
    EXPECT_EQ(0, DeleteTree(root)) << "its own folder stayed, though everything in it went";
    CloseHandle(heldRoot);
    EXPECT_EQ(L"", ListFolder(root));
    EXPECT_EQ(Lines{}, trace.Lines());
}

TEST(FolderWalks, TrailingBackslashIsKeptInEveryPathAndTrace)
{
    const std::wstring root = NewScratchFolder(L"trailing");
    ASSERT_TRUE(MakeFolder(root + L"\\sub"));
    ASSERT_TRUE(MakeFile(root + L"\\sub\\a.dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\b.dat"));
    TraceCapture trace;
    EXPECT_TRUE(RemoveFolder(root + L"\\"));
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Lines{}, trace.Lines());

    const std::wstring file = NewScratchFolder(L"trailing-file") + L"\\x.dat";
    ASSERT_TRUE(MakeFile(file));
    EXPECT_EQ(0, DeleteTree(file + L"\\"));
    EXPECT_EQ(L"FindFirstFile failed : " + file + L"\\", trace.Lines().back());
}

TEST(FolderWalks, HangulAndEmojiNamesAreRemovedAndTracedExactly)
{
    const std::wstring root = NewScratchFolder(L"names");
    const std::wstring hangul = L"\uB9AC\uB178\uD504 \uC124\uCE58"; // 리노프 설치
    const std::wstring emoji = L"\U0001F3AE game";
    ASSERT_TRUE(MakeFolder(root + L"\\" + hangul));
    ASSERT_TRUE(MakeFile(root + L"\\" + hangul + L"\\" + hangul + L".dat", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\" + emoji + L".dat", FILE_ATTRIBUTE_HIDDEN));
    // Without the Korean locale Wine mangles such names; the test would then
    // prove nothing.
    ASSERT_EQ(hangul + L" " + emoji + L".dat", ListFolder(root));
    ASSERT_EQ(hangul + L".dat", ListFolder(root + L"\\" + hangul));

    const std::wstring heldPath = root + L"\\" + hangul + L"\\" + hangul + L".dat";
    SetFileAttributesW(heldPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE held = HoldOpen(heldPath);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TraceCapture trace;
    EXPECT_EQ(0, DeleteTree(root));
    CloseHandle(held);
    EXPECT_EQ(Lines{L"Delete falied : " + hangul + L".dat"}, trace.Lines());
    EXPECT_FALSE(Exists(root + L"\\" + emoji + L".dat"));

    EXPECT_TRUE(RemoveFolder(root));
    EXPECT_FALSE(Exists(root));
}

TEST(FolderWalks, TreeDeeperThanMaxPathIsRemovedWhole)
{
    const std::wstring root = NewScratchFolder(L"deep");
    std::wstring path = root;
    for (int level = 0; path.size() < 2 * MAX_PATH; ++level) {
        path += L"\\level-" + std::to_wstring(level) + L"-padding-padding";
        ASSERT_TRUE(MakeFolder(path)) << path.size();
        ASSERT_TRUE(MakeFile(path + L"\\file.dat", FILE_ATTRIBUTE_READONLY));
    }
    ASSERT_TRUE(Exists(path + L"\\file.dat"));
    TraceCapture trace;
    EXPECT_TRUE(RemoveFolder(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Lines{}, trace.Lines());
}

// The harness puts these fixtures in place: a tree whose "link" entry is a
// directory link to the non-empty folder "outside" beside the tree.
const std::wstring LinkFixtures = L"C:\\fixtures\\";

bool IsDirectoryLink(const std::wstring& path)
{
    const DWORD attributes = AttributesOf(path);
    const DWORD link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & link) == link;
}

void ProtectOutside(const std::wstring& outside)
{
    ASSERT_TRUE(SetFileAttributesW((outside + L"\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((outside + L"\\sub\\deep.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
}

void ExpectOutsideUntouched(const std::wstring& outside)
{
    EXPECT_EQ(L"keep.txt sub", ListFolder(outside));
    EXPECT_EQ(L"deep.txt", ListFolder(outside + L"\\sub"));
    EXPECT_NE(0u, AttributesOf(outside + L"\\keep.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, AttributesOf(outside + L"\\sub\\deep.txt") & FILE_ATTRIBUTE_HIDDEN);
}

TEST(FolderWalks, LinksInsideTheTreeAreNotFollowed)
{
    const std::wstring fixture = LinkFixtures + L"walk";
    REQUIRE_HARNESS_FILES();
    ASSERT_TRUE(IsDirectoryLink(fixture + L"\\tree\\link")) << "fixture missing: run the wine_setup test";
    ProtectOutside(fixture + L"\\outside");

    EXPECT_EQ(1, NormalizeTree(fixture + L"\\tree"));
    ExpectOutsideUntouched(fixture + L"\\outside");

    TraceCapture trace;
    const bool removed = RemoveFolder(fixture + L"\\tree");
    EXPECT_FALSE(Exists(fixture + L"\\tree\\file.txt"));
    EXPECT_FALSE(Exists(fixture + L"\\tree\\inner"));
    ExpectOutsideUntouched(fixture + L"\\outside");
    // Windows removes the link and so the tree; Wine cannot remove a link to a
    // non-empty folder. Either way the result says which happened.
    EXPECT_EQ(removed, !Exists(fixture + L"\\tree"));
    EXPECT_EQ(removed ? Lines{} : Lines{L"Delete falied : link"}, trace.Lines());
}

TEST(FolderWalks, AFolderThatIsItselfALinkIsNotWalked)
{
    const std::wstring fixture = LinkFixtures + L"root";
    REQUIRE_HARNESS_FILES();
    ASSERT_TRUE(IsDirectoryLink(fixture + L"\\tree\\link")) << "fixture missing: run the wine_setup test";
    ProtectOutside(fixture + L"\\outside");
    TraceCapture trace;

    const bool removed = RemoveFolder(fixture + L"\\tree\\link");
    ExpectOutsideUntouched(fixture + L"\\outside");
    EXPECT_EQ(removed, !Exists(fixture + L"\\tree\\link")) << "the result says whether the link went";
    EXPECT_EQ(Lines{}, trace.Lines());
}

} // namespace
