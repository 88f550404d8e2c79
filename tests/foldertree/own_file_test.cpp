// Whether a file lies inside a folder being removed, judged by what the
// folders are, not by how the paths are spelt.
#include <gtest/gtest.h>

#include <string>

#include "foldertree/open_folder.h"
#include "foldertree/own_file.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/throwaway_machine.h"

namespace {

bool Inside(const std::wstring& top, const std::wstring& file, size_t& folders)
{
    HANDLE opened = OpenFolderToRemove(top);
    EXPECT_NE(INVALID_HANDLE_VALUE, opened) << top.c_str();
    OwnFileInside inside;
    const bool located = LocateInside(opened, file, inside);
    folders = inside.folderPaths.size();
    CloseHandle(opened);
    return located;
}

std::wstring Upper(std::wstring path)
{
    CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    return path;
}

std::wstring ShortPathOf(const std::wstring& path)
{
    wchar_t shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(shortPath, length) : path;
}

TEST(OwnFile, InsideIsJudgedByWhatTheFoldersAre)
{
    const std::wstring root = NewScratchFolder(L"own");
    const std::wstring top = root + L"\\Launcher";
    ASSERT_TRUE(MakeFolder(top));
    ASSERT_TRUE(MakeFolder(top + L"\\tools"));
    ASSERT_TRUE(MakeFile(top + L"\\tools\\uninstall.exe"));
    ASSERT_TRUE(MakeFolder(root + L"\\Launcher2"));
    ASSERT_TRUE(MakeFile(root + L"\\Launcher2\\uninstall.exe"));
    ASSERT_TRUE(MakeFile(root + L"\\uninstall.exe"));
    size_t folders = 0;

    EXPECT_TRUE(Inside(top, Upper(top) + L"\\TOOLS\\UNINSTALL.EXE", folders));
    EXPECT_EQ(1u, folders) << "tools, between the file and the top";
    EXPECT_TRUE(Inside(top, ShortPathOf(top + L"\\tools\\uninstall.exe"), folders));
    EXPECT_TRUE(Inside(Upper(top), top + L"\\tools\\uninstall.exe", folders));

    EXPECT_FALSE(Inside(top, root + L"\\Launcher2\\uninstall.exe", folders)) << "a look-alike";
    EXPECT_FALSE(Inside(top, root + L"\\uninstall.exe", folders)) << "beside it";
    EXPECT_FALSE(Inside(top + L"\\tools", root + L"\\uninstall.exe", folders));
}

// C:\fixtures\GameLib is a link to C:\fixtures\RealGames: a folder reached
// through one holds a file reached through the other.
TEST(OwnFile, ALinkInAParentIsSeenThrough)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring name = Unique(L"own");
    const std::wstring real = L"C:\\fixtures\\RealGames\\" + name;
    ASSERT_TRUE(MakeFolder(real));
    ASSERT_TRUE(MakeFile(real + L"\\uninstall.exe"));
    size_t folders = 0;

    EXPECT_TRUE(Inside(L"C:\\fixtures\\GameLib\\" + name, real + L"\\uninstall.exe", folders));
    EXPECT_EQ(0u, folders);
    EXPECT_TRUE(DeleteTestTree(real));
}

} // namespace
