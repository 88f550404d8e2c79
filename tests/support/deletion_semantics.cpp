#include "tests/support/deletion_semantics.h"

#include <windows.h>

#include <string>

#include "tests/support/scratch_tree.h"

namespace {

constexpr DWORD AnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file held as a scanner holds it, deleted with POSIX semantics: true when
// the call was taken and the name left at once.
bool HeldFileLeavesAtOnce()
{
    const std::wstring path = NewScratchFolder(L"semantics") + L"\\held.dat";
    if (!MakeFile(path)) {
        return false;
    }
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, AnySharing, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE deleting = CreateFileW(path.c_str(), DELETE, AnySharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ULONG flags = 0x1 | 0x2; // FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
    const bool taken =
        holder != INVALID_HANDLE_VALUE && deleting != INVALID_HANDLE_VALUE &&
        SetFileInformationByHandle(deleting, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &flags, sizeof(flags));
    if (deleting != INVALID_HANDLE_VALUE) {
        CloseHandle(deleting);
    }
    const bool gone = taken && !Exists(path);
    if (holder != INVALID_HANDLE_VALUE) {
        CloseHandle(holder);
    }
    DeleteFileW(path.c_str());
    return gone;
}

} // namespace

bool DeletesThePosixWay()
{
    static const bool posix = HeldFileLeavesAtOnce();
    return posix;
}
