// The registered folder's removal for a given location, guard included, on
// real folders with sentinel files that a refusal must leave in place.
#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/registered_folder.h"
#include "guard/folder_identity.h"
#include "guard/install_folder_guard.h"
#include "tests/guard/refusal_checks.h"
#include "tests/support/machine_width.h"
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

// On 64-bit Windows the environment names the native folder to every
// process; 32-bit Windows has one, the known folder.
std::wstring NativeFolder(const wchar_t* variable, REFKNOWNFOLDERID otherwise)
{
    const std::wstring native = EnvironmentValue(variable);
    return native.empty() ? KnownFolder(otherwise) : native;
}

std::wstring ShortPathOf(const std::wstring& path)
{
    std::wstring shortPath(GetShortPathNameW(path.c_str(), nullptr, 0), L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), &shortPath[0], static_cast<DWORD>(shortPath.size()));
    shortPath.resize(length < shortPath.size() ? length : 0);
    return shortPath;
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

// However the location spells the file it names (letter case, its short
// name, "."), that file is the one the folder keeps for last: a removal that
// fails leaves it, and the folder is recognised again by it.
TEST_F(InstallFolder, NamedFileIsKeptForLastWhateverItsSpelling)
{
    const std::wstring app = NewScratchFolder(L"spelling") + L"\\App";
    const std::wstring named = app + L"\\Velstrand Launcher.exe";
    ASSERT_TRUE(MakeFolder(app));
    ASSERT_TRUE(MakeFile(named));
    ASSERT_TRUE(MakeFolder(app + L"\\saves"));
    ASSERT_TRUE(MakeFile(app + L"\\saves\\held.dat"));
    std::wstring upper = named;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    const std::wstring shortName = ShortPathOf(named);
    ASSERT_NE(named.substr(app.size()), shortName.substr(shortName.rfind(L'\\'))) << "a short name of its own";

    HANDLE held = HoldOpen(app + L"\\saves\\held.dat");
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    for (const std::wstring& location : {upper, shortName, app + L"\\.\\Velstrand Launcher.exe"}) {
        ASSERT_TRUE(MakeFile(app + L"\\other.dat"));
        TraceCapture trace;
        EXPECT_FALSE(RemoveInstallFolder(location)) << location.c_str();
        EXPECT_EQ(Lines{L"Delete falied : held.dat"}, trace.Lines());
        EXPECT_EQ(L"Velstrand Launcher.exe saves", ListFolder(app)) << location.c_str();
    }
    CloseHandle(held);
    EXPECT_TRUE(RemoveInstallFolder(shortName));
    EXPECT_FALSE(Exists(app));
}

// The guard on the folder as the stage opens it, with defaultFolder taken
// for the default folder as its way down holds it.
bool MayRemove(const std::wstring& location, const std::wstring& folder, const std::wstring& defaultFolder,
               std::wstring& namedFile)
{
    HANDLE opened = OpenToIdentify(folder);
    HANDLE heldDefault = OpenToIdentify(defaultFolder);
    const bool allowed = MayRemoveInstallFolder(location, folder, opened, heldDefault, namedFile);
    for (HANDLE handle : {opened, heldDefault}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    return allowed;
}

// The launcher's default folder goes in any case, so an earlier run that
// took its named file does not make it refused; every other rule holds.
TEST_F(InstallFolder, DefaultFolderNeedsNoNamedFileButIsStillJudged)
{
    const std::wstring folder = NewScratchFolder(L"default");
    ASSERT_TRUE(MakeFile(folder + L"\\leftover.dat"));
    std::wstring namedFile = L"unset";
    EXPECT_TRUE(MayRemove(folder + L"\\velstrand.exe", folder, folder, namedFile));
    EXPECT_EQ(L"", namedFile);
    EXPECT_TRUE(MayRemove(folder + L"\\velstrand.exe", folder, folder + L"\\.\\", namedFile));

    // Anywhere else a missing named file is a stale location.
    const std::wstring other = NewScratchFolder(L"not-default");
    EXPECT_FALSE(MayRemove(other + L"\\velstrand.exe", other, folder, namedFile));
    // A location naming a folder in it is no missing file.
    ASSERT_TRUE(MakeFolder(folder + L"\\sub"));
    EXPECT_FALSE(MayRemove(folder + L"\\sub", folder, folder, namedFile));

    // A default folder that is the profile, through a link, is the profile.
    REQUIRE_HARNESS_FILES();
    const std::wstring profile = L"C:\\fixtures\\aliases\\profile";
    EXPECT_FALSE(MayRemove(profile + L"\\velstrand.exe", profile, profile, namedFile));
    EXPECT_FALSE(MayRemove(L"D:\\Documents\\velstrand.exe", L"D:\\Documents", L"D:\\Documents", namedFile));
}

// The exemption needs the platform's word that nothing is there (file or
// path not found): a name that cannot even be looked up proves nothing.
TEST_F(InstallFolder, DefaultFolderExemptionNeedsTheNamedFileToBeMissing)
{
    const std::wstring folder = NewScratchFolder(L"default");
    ASSERT_TRUE(MakeFile(folder + L"\\leftover.dat"));
    std::wstring namedFile;
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\velstrand?.exe").c_str()));
    ASSERT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_FALSE(MayRemove(folder + L"\\velstrand?.exe", folder, folder, namedFile));
    // Not provoked: a sharing or access error. Reading attributes needs no
    // share, and every process here runs as the same user.
    EXPECT_TRUE(MayRemove(folder + L"\\velstrand.exe", folder, folder, namedFile));
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

// The harness's data drive E: holds no protected folder, so only the drive
// root rule stands between its whole content and a location at its root,
// reached here through a link: C:\fixtures\aliases\datadrive.
TEST_F(InstallFolder, DriveRootReachedThroughALinkIsRefused)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring link = L"C:\\fixtures\\aliases\\datadrive";
    ASSERT_TRUE(Exists(L"E:\\notes.txt")) << "fixture missing: run the wine_setup test";
    const Sentinel sentinel(link);
    ExpectRefused(link + L"\\" + sentinel.NamedFile(), link);
    sentinel.ExpectUntouched();
    EXPECT_TRUE(Exists(L"E:\\notes.txt"));
    EXPECT_EQ(L"song.ogg", ListFolder(L"E:\\Music"));
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

// No launcher lives in the Windows folder: nothing in it goes, in either
// view of System32 (for a 32-bit process on 64-bit Windows, SysWOW64, and
// the native one through Sysnative).
TEST_F(InstallFolder, FoldersInsideTheWindowsFolderAreRefused)
{
    const std::wstring windows = KnownFolder(FOLDERID_Windows);
    ASSERT_FALSE(windows.empty());
    std::vector<std::wstring> parents = {windows, KnownFolder(FOLDERID_System)};
    // Only a 32-bit process on 64-bit Windows (modes wow64 and wow64-posix) has Sysnative.
    if (Exists(windows + L"\\Sysnative")) {
        parents.push_back(windows + L"\\Sysnative");
    }
    for (const std::wstring& parent : parents) {
        const std::wstring folder = parent + L"\\" + Unique(L"Vendor");
        {
            const Sentinel sentinel(folder);
            ExpectRefused(folder + L"\\" + sentinel.NamedFile(), folder);
            sentinel.ExpectUntouched();
        }
        EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << folder.c_str();
    }
}

// Program Files and Common Files themselves are refused, the native ones
// too, which a 32-bit process on 64-bit Windows is not shown as known
// folders; an install in either Program Files is removed.
TEST_F(InstallFolder, ProgramFilesAreRefusedAndAnInstallInEitherIsRemoved)
{
    const std::wstring native = NativeFolder(L"ProgramW6432", FOLDERID_ProgramFiles);
    const std::wstring x86 = KnownFolder(FOLDERID_ProgramFilesX86);
    const std::wstring nativeCommon = NativeFolder(L"CommonProgramW6432", FOLDERID_ProgramFilesCommon);
    for (const std::wstring& folder : {native, nativeCommon, x86}) {
        ASSERT_FALSE(folder.empty());
        const Sentinel sentinel(folder);
        ExpectRefused(folder + L"\\" + sentinel.NamedFile(), folder);
        sentinel.ExpectUntouched();
    }
    for (const std::wstring& programFiles : {native, x86}) {
        const std::wstring install = programFiles + L"\\" + Unique(L"Rinop");
        ASSERT_TRUE(MakeFolder(install));
        ASSERT_TRUE(MakeFile(install + L"\\velstrand.exe", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(MakeFile(install + L"\\game.pak"));
        ExpectRemoved(install + L"\\velstrand.exe", install);
    }
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

// However the path reaches the Documents folder, it is the Documents folder.
TEST_F(InstallFolder, AliasesOfAProtectedFolderAreSeenThrough)
{
    const std::wstring profile = KnownFolder(FOLDERID_Profile);
    const std::wstring documents = KnownFolder(FOLDERID_Documents);
    ASSERT_EQ(profile + L"\\Documents", documents) << "the spellings below assume it";
    const Sentinel sentinel(documents);
    const std::wstring file = sentinel.NamedFile();
    std::wstring upper = documents + L"\\" + file;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));

    ExpectRefused(upper, upper.substr(0, upper.rfind(L'\\')));
    ExpectRefused(profile + L"\\.\\Documents\\" + file, profile + L"\\.\\Documents");
    ExpectRefused(profile + L"\\Documents\\..\\Documents\\" + file, profile + L"\\Documents\\..\\Documents");
    ExpectRefusedAnyhow(profile + L"\\\\Documents\\\\" + file);
    ExpectRefusedAnyhow(profile + L"\\Documents\\.\\" + file);
    const std::wstring shortDocuments = ShortPathOf(documents);
    ASSERT_FALSE(shortDocuments.empty());
    ExpectRefused(shortDocuments + L"\\" + file, shortDocuments);
    // A share that leads back to this machine; nothing there is removed,
    // whether or not the platform can reach it.
    RemoveInstallFolder(L"\\\\localhost\\C$" + documents.substr(2) + L"\\" + file);
    sentinel.ExpectUntouched();
}

// Links in a parent folder and drive letters mapped onto folders: made by the
// Wine harness from the Linux side (C:\fixtures\aliases\profile and
// \windows, drive D: onto the profile).
TEST_F(InstallFolder, ProtectedFoldersReachedThroughLinksAndMappedDrivesAreRefused)
{
    REQUIRE_HARNESS_FILES();
    const Sentinel documents(KnownFolder(FOLDERID_Documents));
    const std::wstring file = documents.NamedFile();
    ExpectRefused(L"C:\\fixtures\\aliases\\profile\\Documents\\" + file, L"C:\\fixtures\\aliases\\profile\\Documents");
    ExpectRefused(L"D:\\Documents\\" + file, L"D:\\Documents");
    documents.ExpectUntouched();

    const std::wstring system = KnownFolder(FOLDERID_System);
    const std::wstring kernel =
        L"C:\\fixtures\\aliases\\windows" + system.substr(system.rfind(L'\\')) + L"\\kernel32.dll";
    ExpectRefused(kernel, kernel.substr(0, kernel.rfind(L'\\')));
    EXPECT_TRUE(Exists(system + L"\\kernel32.dll"));

    // The drive's own root is the profile.
    const Sentinel profile(KnownFolder(FOLDERID_Profile));
    ExpectRefused(L"D:\\" + profile.NamedFile(), L"D:\\");
    profile.ExpectUntouched();
}

// Every folder the shell knows of, not only the well-known few; the temp
// folder; and a folder that only contains one of them.
TEST_F(InstallFolder, EveryKnownFolderAndEveryAncestorOfOneIsRefused)
{
    const std::wstring profile = KnownFolder(FOLDERID_Profile);
    for (REFKNOWNFOLDERID id : {FOLDERID_Contacts, FOLDERID_Links, FOLDERID_SavedSearches}) {
        const std::wstring folder = KnownFolder(id);
        ASSERT_FALSE(folder.empty());
        const Sentinel sentinel(folder);
        ExpectRefused(folder + L"\\" + sentinel.NamedFile(), folder);
        sentinel.ExpectUntouched();
    }

    std::wstring temp(MAX_PATH + 1, L'\0');
    temp.resize(GetTempPathW(MAX_PATH + 1, &temp[0]));
    temp.pop_back(); // its trailing backslash
    const Sentinel inTemp(temp);
    ExpectRefused(temp + L"\\" + inTemp.NamedFile(), temp);
    inTemp.ExpectUntouched();

    // AppData is no known folder, but holds Roaming and Local.
    const Sentinel appData(profile + L"\\AppData");
    ExpectRefused(profile + L"\\AppData\\" + appData.NamedFile(), profile + L"\\AppData");
    appData.ExpectUntouched();
}

// A cloud drive's synced folder as the machine records it, in the native
// registry view (a 32-bit process writes to WOW6432Node unless told);
// removed when the test ends.
class SyncRoot {
public:
    SyncRoot(DWORD type, const std::wstring& folder)
        : key_(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SyncRootManager\\" + Unique(L"TestCloud") +
               L"!S-1-5-21-0-0-0-1000!someone")
    {
        HKEY roots = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, (key_ + L"\\UserSyncRoots").c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &roots, nullptr));
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(roots, L"S-1-5-21-0-0-0-1000", 0, type, reinterpret_cast<const BYTE*>(folder.c_str()),
                                 static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))));
        RegCloseKey(roots);
    }
    ~SyncRoot()
    {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (key_ + L"\\UserSyncRoots").c_str(), KEY_WOW64_64KEY, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), KEY_WOW64_64KEY, 0);
    }
    SyncRoot(const SyncRoot&) = delete;
    SyncRoot& operator=(const SyncRoot&) = delete;

private:
    std::wstring key_;
};

// A cloud drive's folder is kept in step with its servers: what is deleted
// here is deleted there. Its path may be recorded with an environment
// variable in it (REG_EXPAND_SZ).
TEST_F(InstallFolder, CloudSyncRootsAreRefused)
{
    const std::wstring cloud = NewScratchFolder(L"cloud");
    const SyncRoot plain(REG_SZ, cloud);
    const Sentinel sentinel(cloud);
    ExpectRefused(cloud + L"\\" + sentinel.NamedFile(), cloud);
    sentinel.ExpectUntouched();

    const std::wstring expandable = NewScratchFolder(L"cloud");
    ASSERT_EQ(L"C:", expandable.substr(0, 2));
    const SyncRoot withVariable(REG_EXPAND_SZ, L"%SystemDrive%" + expandable.substr(2));
    const Sentinel inExpandable(expandable);
    ExpectRefused(expandable + L"\\" + inExpandable.NamedFile(), expandable);
    inExpandable.ExpectUntouched();
}

// A protected folder may be recorded before it is made (a cloud drive not
// yet synced): the folder that would hold it is refused all the same.
TEST_F(InstallFolder, ProtectedFolderNotYetMadeProtectsItsAncestors)
{
    const std::wstring parent = NewScratchFolder(L"cloud-parent");
    const SyncRoot notYetMade(REG_SZ, parent + L"\\OneDrive");
    const Sentinel sentinel(parent);
    ExpectRefused(parent + L"\\" + sentinel.NamedFile(), parent);
    sentinel.ExpectUntouched();
    EXPECT_FALSE(Exists(parent + L"\\OneDrive"));
}

// "Vendor/velstrand.exe" names a real file in Games\Vendor, but the text cut
// at the last backslash gives Games, the folder of every other game.
TEST_F(InstallFolder, FolderMustBeTheOneThatHoldsTheNamedFile)
{
    const std::wstring games = NewScratchFolder(L"Games");
    ASSERT_TRUE(MakeFolder(games + L"\\Vendor"));
    ASSERT_TRUE(MakeFile(games + L"\\Vendor\\velstrand.exe"));
    ASSERT_TRUE(MakeFolder(games + L"\\OtherGame"));
    const Sentinel sentinel(games);
    ExpectRefused(games + L"\\Vendor/velstrand.exe", games);
    sentinel.ExpectUntouched();
    EXPECT_TRUE(Exists(games + L"\\OtherGame"));
    EXPECT_TRUE(Exists(games + L"\\Vendor\\velstrand.exe"));
}

// A game library moved to another disk and linked back: nothing is wrong
// with removing an install in it. The link above it stays.
TEST_F(InstallFolder, InstallReachedThroughALinkedLibraryIsRemoved)
{
    REQUIRE_HARNESS_FILES();
    const std::wstring name = Unique(L"VL");
    const std::wstring real = L"C:\\fixtures\\RealGames\\" + name;
    const std::wstring linked = L"C:\\fixtures\\GameLib\\" + name;
    ASSERT_TRUE(MakeFolder(real));
    ASSERT_TRUE(MakeFolder(real + L"\\data", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeFile(real + L"\\data\\cache.pak", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile(real + L"\\velstrand.exe"));

    ExpectRemoved(linked + L"\\velstrand.exe", real);
    EXPECT_NE(0u, AttributesOf(L"C:\\fixtures\\GameLib") & FILE_ATTRIBUTE_REPARSE_POINT) << "the link stays";
    EXPECT_TRUE(Exists(L"C:\\fixtures\\RealGames"));
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
