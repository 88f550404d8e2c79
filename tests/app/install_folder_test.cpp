// The registered folder's removal for a given location, guard included, on
// real folders with sentinel files that a refusal must leave in place.
#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/registered_folder.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/throwaway_machine.h"
#include "tests/support/trace_capture.h"

namespace {

using Lines = std::vector<std::wstring>;

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        folder = path;
    }
    CoTaskMemFree(path);
    return folder;
}

// Runs the stage's folder part and expects a refusal with this trace subject.
void ExpectRefused(const std::wstring& location, const std::wstring& subject)
{
    TraceCapture trace;
    EXPECT_FALSE(RemoveInstallFolder(location)) << location.c_str();
    EXPECT_EQ(Lines{L"Remove refused : " + subject}, trace.Lines());
}

// A guard that fails here would delete system and profile folders: these
// tests run only where that harms nothing.
class InstallFolder : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_THROWAWAY_MACHINE(); }
};

// Switches the current folder for one test and back.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder)
    {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    wchar_t previous_[MAX_PATH] = {};
};

TEST_F(InstallFolder, FolderHoldingTheNamedFileIsRemovedAndItsParentKept)
{
    const std::wstring root = NewScratchFolder(L"allowed");
    ASSERT_TRUE(MakeFolder(root + L"\\App"));
    ASSERT_TRUE(MakeFile(root + L"\\App\\app.exe", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(root + L"\\keep.txt"));
    TraceCapture trace;
    EXPECT_TRUE(RemoveInstallFolder(root + L"\\App\\app.exe"));
    EXPECT_EQ(Lines{}, trace.Lines());
    EXPECT_EQ(L"keep.txt", ListFolder(root));
}

TEST_F(InstallFolder, MissingFolderIsASuccessWhateverThePathLooksLike)
{
    TraceCapture trace;
    EXPECT_TRUE(RemoveInstallFolder(NewScratchFolder(L"stale") + L"\\gone\\app.exe"));
    EXPECT_TRUE(RemoveInstallFolder(L""));
    EXPECT_TRUE(RemoveInstallFolder(L"no-such-folder\\app.exe"));
    EXPECT_EQ(Lines{}, trace.Lines());
}

TEST_F(InstallFolder, LocationMustNameAnExistingFile)
{
    const std::wstring root = NewScratchFolder(L"not-a-file");
    ASSERT_TRUE(MakeFolder(root + L"\\Games"));
    ASSERT_TRUE(MakeFolder(root + L"\\Games\\App"));
    ASSERT_TRUE(MakeFile(root + L"\\Games\\App\\app.exe"));
    ASSERT_TRUE(MakeFile(root + L"\\Games\\other.sav"));

    ExpectRefused(root + L"\\Games\\App", root + L"\\Games"); // a folder
    ExpectRefused(root + L"\\Games\\launcher.exe", root + L"\\Games"); // stale, into a shared folder
    EXPECT_EQ(L"App other.sav", ListFolder(root + L"\\Games"));
    EXPECT_EQ(L"app.exe", ListFolder(root + L"\\Games\\App"));
}

TEST_F(InstallFolder, OnlyFullyQualifiedFoldersAreRemoved)
{
    const std::wstring root = NewScratchFolder(L"qualified");
    const std::wstring name = root.substr(root.rfind(L'\\') + 1);
    ASSERT_TRUE(MakeFolder(root + L"\\App"));
    ASSERT_TRUE(MakeFile(root + L"\\App\\app.exe"));
    ASSERT_TRUE(MakeFile(root + L"\\file"));
    CurrentFolder inside(root);

    ExpectRefused(L"App\\app.exe", L"App"); // relative
    ExpectRefused(L"C:file", L"C:"); // drive-relative
    ExpectRefused(L"C:App\\app.exe", L"C:App");
    ExpectRefused(L"\\scratch\\" + name + L"\\App\\app.exe", L"\\scratch\\" + name + L"\\App"); // root-relative
    ExpectRefused(L"\\\\?\\" + root + L"\\App\\app.exe", L"\\\\?\\" + root + L"\\App"); // device path
    const std::wstring slashes = L"C:/scratch/" + name + L"/App/app.exe";
    TraceCapture trace;
    EXPECT_FALSE(RemoveInstallFolder(slashes));
    ASSERT_EQ(1u, trace.Lines().size());
    EXPECT_EQ(0u, trace.Lines()[0].find(L"Remove refused : "));

    EXPECT_EQ(L"App file", ListFolder(root));
    EXPECT_EQ(L"app.exe", ListFolder(root + L"\\App"));
}

TEST_F(InstallFolder, DriveRootIsRefused)
{
    const std::wstring file = L"C:\\launcher-remover-test-" + std::to_wstring(GetTickCount64()) + L".exe";
    ASSERT_TRUE(MakeFile(file));
    ExpectRefused(file, L"C:\\");
    EXPECT_TRUE(Exists(L"C:\\scratch"));
    EXPECT_TRUE(Exists(L"C:\\windows"));
    DeleteFileW(file.c_str());
}

TEST_F(InstallFolder, SystemAndProfileFoldersAndTheirAncestorsAreRefused)
{
    const std::wstring windows = KnownFolder(FOLDERID_Windows);
    const std::wstring profile = KnownFolder(FOLDERID_Profile);
    const std::wstring documents = KnownFolder(FOLDERID_Documents);
    ASSERT_FALSE(windows.empty());
    ASSERT_FALSE(profile.empty());

    // ".." climbs back into the Windows folder.
    const std::wstring climbing = L"C:\\scratch\\..\\" + windows.substr(3) + L"\\system32\\..\\notepad.exe";
    ASSERT_TRUE(Exists(climbing));
    ExpectRefused(climbing, L"C:\\scratch\\..\\" + windows.substr(3) + L"\\system32\\..");

    const std::wstring inProfile = profile + L"\\launcher-" + std::to_wstring(GetTickCount64()) + L".exe";
    ASSERT_TRUE(MakeFile(inProfile));
    ExpectRefused(inProfile, profile);
    DeleteFileW(inProfile.c_str());

    // The Users folder is an ancestor of every profile; letter case differs.
    const std::wstring users = profile.substr(0, profile.rfind(L'\\'));
    const std::wstring inUsers = users + L"\\launcher-" + std::to_wstring(GetTickCount64()) + L".exe";
    ASSERT_TRUE(MakeFile(inUsers));
    std::wstring upper = inUsers;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    ExpectRefused(upper, upper.substr(0, upper.rfind(L'\\')));
    DeleteFileW(inUsers.c_str());

    const std::wstring inDocuments = documents + L"\\launcher-" + std::to_wstring(GetTickCount64()) + L".sav";
    ASSERT_TRUE(MakeFile(inDocuments));
    ExpectRefused(inDocuments, documents);
    EXPECT_TRUE(Exists(inDocuments));
    DeleteFileW(inDocuments.c_str());

    EXPECT_TRUE(Exists(windows + L"\\notepad.exe"));
}

TEST_F(InstallFolder, FolderStrictlyInsideAProtectedOneIsAllowed)
{
    const std::wstring local = KnownFolder(FOLDERID_LocalAppData);
    ASSERT_FALSE(local.empty());
    const std::wstring vendor = local + L"\\Vendor-" + std::to_wstring(GetTickCount64());
    ASSERT_TRUE(MakeFolder(vendor));
    ASSERT_TRUE(MakeFolder(vendor + L"\\bin"));
    ASSERT_TRUE(MakeFile(vendor + L"\\bin\\app.exe"));
    ASSERT_TRUE(MakeFile(vendor + L"\\settings.ini"));
    EXPECT_TRUE(RemoveInstallFolder(vendor + L"\\bin\\app.exe"));
    EXPECT_EQ(L"settings.ini", ListFolder(vendor));
    DeleteFileW((vendor + L"\\settings.ini").c_str());
    RemoveDirectoryW(vendor.c_str());
}

TEST_F(InstallFolder, LocationThatDoesNotFitIsNeverCut)
{
    const std::wstring root = NewScratchFolder(L"long");
    ASSERT_TRUE(MakeFile(root + L"\\keep.txt"));
    // Cut at 259 characters this would name a file directly in root, and
    // root would be removed.
    std::wstring location = root + L"\\";
    location += std::wstring(MAX_PATH - location.size(), L'x');
    ASSERT_EQ(static_cast<size_t>(MAX_PATH), location.size());
    ExpectRefused(location, location);
    EXPECT_EQ(L"keep.txt", ListFolder(root));

    // 259 characters fit the buffer with the terminator.
    ASSERT_TRUE(MakeFolder(root + L"\\App"));
    std::wstring fits = root + L"\\App\\";
    fits += std::wstring(MAX_PATH - 1 - fits.size(), L'y');
    ASSERT_TRUE(MakeFile(fits));
    TraceCapture trace;
    EXPECT_TRUE(RemoveInstallFolder(fits));
    EXPECT_EQ(Lines{}, trace.Lines());
    EXPECT_EQ(L"keep.txt", ListFolder(root));
}

} // namespace
