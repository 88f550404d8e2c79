// The list of protected folders itself, where an end-to-end refusal could
// pass for another reason.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <utility>

#include "guard/protected_folders.h"
#include "tests/support/machine_width.h"

namespace {

using FileId = std::pair<DWORD, ULONGLONG>;

// The volume and the file's index on it: the same for every path that
// reaches the folder, however it is spelt or redirected.
bool IdOf(const std::wstring& path, FileId& id)
{
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    const bool read = GetFileInformationByHandle(handle, &information) != FALSE;
    CloseHandle(handle);
    id = {information.dwVolumeSerialNumber,
          (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
    return read;
}

// A 32-bit process on 64-bit Windows is handed the x86 Program Files for
// FOLDERID_ProgramFiles, and System32 opens for it as SysWOW64. Under Wine
// the native System32 is refused end to end for another reason (a virtual
// folder's path lies in it), so the list is tested here.
TEST(ProtectedFolders, HoldTheNativeFoldersThatA32BitProcessIsNotShown)
{
    if (!IsWow64(GetCurrentProcess())) {
        GTEST_SKIP() << "only a 32-bit process on 64-bit Windows (modes wow64 and wow64-posix) is shown other folders";
    }
    std::set<FileId> listed;
    for (const std::wstring& folder : ProtectedFolders()) {
        FileId id;
        if (IdOf(folder, id)) {
            listed.insert(id);
        }
    }
    // The environment names the native folders on its own account.
    const std::wstring natives[] = {EnvironmentValue(L"ProgramW6432"), EnvironmentValue(L"CommonProgramW6432"),
                                    EnvironmentValue(L"windir") + L"\\Sysnative"};
    for (const std::wstring& native : natives) {
        FileId id;
        ASSERT_TRUE(IdOf(native, id)) << native.c_str();
        EXPECT_EQ(1u, listed.count(id)) << native.c_str();
    }
}

} // namespace
