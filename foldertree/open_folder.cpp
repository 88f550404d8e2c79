#include "foldertree/open_folder.h"

#include <winternl.h>

#include <algorithm>
#include <cstddef>

#include "foldertree/full_path.h"

// Not declared by every SDK's winternl.h; exported by ntdll on every Windows.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine, PVOID ApcContext,
                                               PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass, BOOLEAN ReturnSingleEntry,
                                               PUNICODE_STRING FileName, BOOLEAN RestartScan);

namespace {

// NtCreateFile's options and the information classes used here, as the
// driver kit numbers them.
constexpr ULONG OpenExisting = 1; // FILE_OPEN
constexpr ULONG DirectoryOnly = 0x00000001; // FILE_DIRECTORY_FILE
constexpr ULONG Synchronous = 0x00000020; // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG FileOnly = 0x00000040; // FILE_NON_DIRECTORY_FILE
constexpr ULONG DeleteOnClose = 0x00001000; // FILE_DELETE_ON_CLOSE
constexpr ULONG ForBackup = 0x00004000; // FILE_OPEN_FOR_BACKUP_INTENT
constexpr ULONG LinkItself = 0x00200000; // FILE_OPEN_REPARSE_POINT
constexpr auto InternalInformation = static_cast<FILE_INFORMATION_CLASS>(6); // FileInternalInformation
constexpr auto IdBothDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(37); // FileIdBothDirectoryInformation

// A walked folder: listed, reset and deleted through its handle; shared for
// reading and writing, never for deletion, so that it cannot be renamed or
// replaced while it is open.
constexpr ACCESS_MASK FolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
constexpr ULONG FolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG EntrySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

constexpr size_t ListingBatchBytes = 16 * 1024;

// FileDispositionInfoEx and its flags (Windows 10 1607 and later): with
// POSIX semantics the name leaves its folder at once, even while another
// program holds the entry shared for deletion.
constexpr auto DispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr ULONG DispositionDelete = 0x00000001; // FILE_DISPOSITION_FLAG_DELETE
constexpr ULONG DispositionPosixSemantics = 0x00000002; // FILE_DISPOSITION_FLAG_POSIX_SEMANTICS

// Windows before 10 1607, FAT and exFAT, network shares and Wine 8 refuse
// POSIX semantics (ERROR_INVALID_PARAMETER, or not supported); the run
// learns each volume's refusal at its first deletion there.
bool IsAmong(const std::vector<DWORD>& volumes, DWORD volume)
{
    return std::find(volumes.begin(), volumes.end(), volume) != volumes.end();
}

bool PosixRefusedOn(const RunState& run, DWORD volume)
{
    return IsAmong(run.posixRefusedVolumes, volume);
}

// Not in every SDK's headers; as ntstatus.h defines them.
constexpr NTSTATUS StatusDeletePending = static_cast<NTSTATUS>(0xC0000056L); // STATUS_DELETE_PENDING
constexpr NTSTATUS StatusNoSuchFile = static_cast<NTSTATUS>(0xC000000FL); // STATUS_NO_SUCH_FILE
constexpr NTSTATUS StatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006L); // STATUS_NO_MORE_FILES

bool IsRefusal(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// Deletes the opened object the POSIX way. A refusal of the volume's, not
// of the object's, is learned for the rest of the run.
bool MarkForPosixDeletion(RunState& run, HANDLE object, DWORD volume)
{
    ULONG flags = DispositionDelete | DispositionPosixSemantics; // FILE_DISPOSITION_INFO_EX
    if (SetFileInformationByHandle(object, DispositionInfoEx, &flags, sizeof(flags))) {
        if (!IsAmong(run.posixTakenVolumes, volume)) {
            run.posixTakenVolumes.push_back(volume);
        }
        return true;
    }
    if (IsRefusal(GetLastError())) {
        run.posixRefusedVolumes.push_back(volume);
    }
    return false;
}

// Opens name relative to the open folder, never following a link there.
HANDLE OpenRelative(HANDLE folder, const wchar_t* name, size_t nameBytes, ACCESS_MASK access, ULONG sharing,
                    ULONG options)
{
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name);
    objectName.Length = objectName.MaximumLength = static_cast<USHORT>(nameBytes);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status;
    HANDLE opened = nullptr;
    const NTSTATUS opening = NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr, 0, sharing,
                                          OpenExisting, options | Synchronous | ForBackup | LinkItself, nullptr, 0);
    if (!NT_SUCCESS(opening)) {
        // RtlNtStatusToDosError makes a pending deletion "access denied",
        // which would pass for an entry that cannot be deleted.
        SetLastError(opening == StatusDeletePending ? ERROR_DELETE_PENDING : RtlNtStatusToDosError(opening));
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

// The opened object is the one listed: the same file id (Wine: the inode).
// A link swapped in after the listing leads elsewhere, to another id.
bool IsListedObject(HANDLE opened, const FILE_ID_BOTH_DIR_INFO& entry)
{
    const LONGLONG id = FileIdOf(opened);
    return id != 0 && id == entry.FileId.QuadPart;
}

bool IsPlainFolder(HANDLE opened)
{
    FILE_BASIC_INFO basic;
    return GetFileInformationByHandleEx(opened, FileBasicInfo, &basic, sizeof(basic)) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Opens a listed entry and keeps the handle only when it is what the
// listing said; a folder must still be a folder and no link.
HANDLE OpenChecked(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, ACCESS_MASK access, ULONG sharing, ULONG options)
{
    HANDLE opened =
        OpenRelative(folder, entry.FileName, entry.FileNameLength, access | FILE_READ_ATTRIBUTES, sharing, options);
    if (opened == INVALID_HANDLE_VALUE) {
        return opened;
    }
    if (!IsListedObject(opened, entry) || ((options & DirectoryOnly) != 0 && !IsPlainFolder(opened))) {
        CloseHandle(opened);
        SetLastError(NotTheListedObject);
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

} // namespace

bool ListNamedEntry(HANDLE parent, const std::wstring& name, ListingBuffer& record, DWORD& error)
{
    // As a mask, a name with wildcards would match whatever else is listed;
    // no file can bear one.
    if (name.empty() || name.find_first_of(L"*?<>\"") != std::wstring::npos) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    record.assign(ListingBatchBytes / sizeof(LONGLONG), 0);
    UNICODE_STRING mask;
    mask.Buffer = const_cast<PWSTR>(name.c_str());
    mask.Length = mask.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK status;
    const NTSTATUS listing = NtQueryDirectoryFile(parent, nullptr, nullptr, nullptr, &status, record.data(),
                                                  static_cast<ULONG>(record.size() * sizeof(LONGLONG)),
                                                  IdBothDirectoryInformation, TRUE, &mask, TRUE);
    if (NT_SUCCESS(listing)) {
        return true;
    }
    // Windows answers a name not listed with the first status, Wine with
    // the second; any other is a folder that could not be listed.
    const bool notListed = listing == StatusNoSuchFile || listing == StatusNoMoreFiles;
    error = notListed ? ERROR_FILE_NOT_FOUND : RtlNtStatusToDosError(listing);
    return false;
}

bool ReadListing(HANDLE folder, ListingBuffer& buffer, bool restart, DWORD& error)
{
    buffer.resize(ListingBatchBytes / sizeof(LONGLONG));
    if (!GetFileInformationByHandleEx(folder, restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
                                      buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
        error = GetLastError();
        return false;
    }
    // Only the bytes the batch uses are kept: a deep walk holds one batch
    // for every folder on its way down.
    size_t used = 0;
    for (size_t offset = 0;;) {
        const auto& entry =
            *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<const char*>(buffer.data()) + offset);
        used = offset + offsetof(FILE_ID_BOTH_DIR_INFO, FileName) + entry.FileNameLength;
        if (entry.NextEntryOffset == 0) {
            break;
        }
        offset += entry.NextEntryOffset;
    }
    buffer.resize((used + sizeof(LONGLONG) - 1) / sizeof(LONGLONG));
    buffer.shrink_to_fit();
    return true;
}

std::wstring ListedName(const FILE_ID_BOTH_DIR_INFO& entry)
{
    return std::wstring(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
}

HANDLE OpenParentOf(const std::wstring& path, std::wstring& name)
{
    // Links and aliases above the folder are the user's own layout (a game
    // library moved to another disk and linked back): the parent is opened
    // wherever it leads.
    const std::wstring extended = ExtendedPathOf(path);
    const size_t separator = extended.rfind(L'\\');
    if (separator == std::wstring::npos || separator + 1 == extended.size()) {
        return INVALID_HANDLE_VALUE; // no path, or a drive root
    }
    const std::wstring parentPath = extended.substr(0, separator + (extended[separator - 1] == L':' ? 1 : 0));
    name = extended.substr(separator + 1);
    return CreateFileW(parentPath.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, EntrySharing, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

HANDLE OpenFolderToRemove(const std::wstring& path)
{
    // The folder itself must not be a link.
    std::wstring name;
    HANDLE parent = OpenParentOf(path, name);
    if (parent == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE folder = OpenNamedFolder(parent, name);
    CloseHandle(parent);
    return folder;
}

HANDLE OpenNamedFolder(HANDLE parent, const std::wstring& name)
{
    ListingBuffer record;
    DWORD error = ERROR_SUCCESS;
    if (!ListNamedEntry(parent, name, record, error)) {
        return INVALID_HANDLE_VALUE;
    }
    const FILE_ID_BOTH_DIR_INFO& entry = RecordIn(record);
    if ((entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return INVALID_HANDLE_VALUE;
    }
    return OpenListedFolder(parent, entry);
}

HANDLE OpenListedFolder(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    return OpenChecked(folder, entry, FolderAccess, FolderSharing, DirectoryOnly);
}

HANDLE OpenListedFolderToPass(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    return OpenChecked(folder, entry, FILE_LIST_DIRECTORY, EntrySharing, DirectoryOnly);
}

HANDLE OpenListedEntry(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, ACCESS_MASK access)
{
    return OpenChecked(folder, entry, access, EntrySharing, 0);
}

std::wstring FinalPathOf(HANDLE object)
{
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD needed = GetFinalPathNameByHandleW(object, nullptr, 0, flags);
    if (needed == 0) {
        return L"";
    }
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(object, buffer.data(), static_cast<DWORD>(buffer.size()), flags);
    if (length == 0 || length >= buffer.size()) {
        return L"";
    }
    return std::wstring(buffer.data(), length);
}

LONGLONG FileIdOf(HANDLE object)
{
    IO_STATUS_BLOCK status;
    LARGE_INTEGER id;
    if (!NT_SUCCESS(NtQueryInformationFile(object, &status, &id, sizeof(id), InternalInformation))) {
        return 0;
    }
    return id.QuadPart;
}

DWORD VolumeOf(HANDLE object)
{
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileInformationByHandle(object, &information) ? information.dwVolumeSerialNumber : 0;
}

bool IsSameObject(HANDLE one, HANDLE other)
{
    const LONGLONG id = FileIdOf(one);
    return id != 0 && id == FileIdOf(other) && VolumeOf(one) == VolumeOf(other);
}

bool DeleteIfSameObject(RunState& run, const std::wstring& path, LONGLONG fileId, DWORD volume)
{
    HANDLE opened = CreateFileW(ExtendedPathOf(path).c_str(), DELETE | FILE_READ_ATTRIBUTES, EntrySharing, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (fileId == 0 || FileIdOf(opened) != fileId || VolumeOf(opened) != volume) {
        SetLastError(NotTheListedObject);
        return CloseAfter(opened, false);
    }
    return CloseAfter(opened, MarkForDeletion(run, opened, volume));
}

bool DeleteListedFile(RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume)
{
    // Opened by name in the held folder, which nothing can swap, as the file
    // itself: whatever now has that name in the folder is deleted (a link
    // as itself), and nothing outside it. A read-only file is refused here.
    // Where POSIX semantics are refused, one open that deletes on close.
    const bool classic = PosixRefusedOn(run, volume);
    const ULONG options = classic ? FileOnly | DeleteOnClose : FileOnly;
    HANDLE opened = OpenRelative(folder, entry.FileName, entry.FileNameLength, DELETE, EntrySharing, options);
    if (opened == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_DELETE_PENDING; // deleted, listed until its holder lets go
    }
    return CloseAfter(opened, classic || MarkForDeletion(run, opened, volume));
}

HANDLE OpenFileToDeleteAtOnce(const RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume,
                              bool& exclusive)
{
    // Until the volume has taken a POSIX deletion in this run, it may refuse
    // one, and a shared open would then come too late to be made exclusive.
    exclusive = !IsAmong(run.posixTakenVolumes, volume);
    return OpenRelative(folder, entry.FileName, entry.FileNameLength, DELETE, exclusive ? 0 : EntrySharing, FileOnly);
}

bool DeleteOpenedFileAtOnce(RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, HANDLE opened,
                            bool exclusive, DWORD volume)
{
    if (exclusive) {
        FILE_DISPOSITION_INFO disposition = {TRUE};
        return CloseAfter(opened,
                          SetFileInformationByHandle(opened, FileDispositionInfo, &disposition, sizeof(disposition)));
    }
    if (MarkForPosixDeletion(run, opened, volume)) {
        return CloseAfter(opened, true);
    }
    CloseAfter(opened, false);
    if (!PosixRefusedOn(run, volume)) {
        return false; // refused for this file, not for its kind
    }
    HANDLE again = OpenRelative(folder, entry.FileName, entry.FileNameLength, DELETE, 0, FileOnly | DeleteOnClose);
    return again != INVALID_HANDLE_VALUE && CloseAfter(again, true);
}

bool ResetAttributes(HANDLE object)
{
    // Zero times leave the times as they are.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(object, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
}

bool MarkForDeletion(RunState& run, HANDLE object, DWORD volume)
{
    if (!PosixRefusedOn(run, volume)) {
        if (MarkForPosixDeletion(run, object, volume)) {
            return true;
        }
        if (!PosixRefusedOn(run, volume)) {
            return false; // refused for this entry, not for its kind: the classic way would fail alike
        }
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(object, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

bool CloseAfter(HANDLE opened, bool done)
{
    const DWORD error = GetLastError();
    CloseHandle(opened);
    SetLastError(error);
    return done;
}
