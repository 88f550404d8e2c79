#include "foldertree/open_folder.h"

#include <winternl.h>

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
    if (!NT_SUCCESS(NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr, 0, sharing, OpenExisting,
                                 options | Synchronous | ForBackup | LinkItself, nullptr, 0))) {
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
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

// The parent's own listing record of one name in it (a link as itself).
bool ListOneEntry(HANDLE parent, const std::wstring& name, ListingBuffer& record)
{
    record.assign(ListingBatchBytes / sizeof(LONGLONG), 0);
    UNICODE_STRING mask;
    mask.Buffer = const_cast<PWSTR>(name.c_str());
    mask.Length = mask.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK status;
    return NT_SUCCESS(NtQueryDirectoryFile(parent, nullptr, nullptr, nullptr, &status, record.data(),
                                           static_cast<ULONG>(record.size() * sizeof(LONGLONG)),
                                           IdBothDirectoryInformation, TRUE, &mask, TRUE));
}

} // namespace

bool ReadListing(HANDLE folder, ListingBuffer& buffer, bool restart, DWORD& error)
{
    buffer.resize(ListingBatchBytes / sizeof(LONGLONG));
    if (GetFileInformationByHandleEx(folder, restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
                                     buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
        return true;
    }
    error = GetLastError();
    return false;
}

std::wstring ListedName(const FILE_ID_BOTH_DIR_INFO& entry)
{
    return std::wstring(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
}

HANDLE OpenFolderToRemove(const std::wstring& path)
{
    // Links and aliases above the folder are the user's own layout (a game
    // library moved to another disk and linked back): the parent is opened
    // wherever it leads. The folder itself must not be a link.
    const std::wstring extended = ExtendedPathOf(path);
    const size_t separator = extended.rfind(L'\\');
    if (separator == std::wstring::npos || separator + 1 == extended.size()) {
        return INVALID_HANDLE_VALUE; // no path, or a drive root
    }
    const std::wstring parentPath = extended.substr(0, separator + (extended[separator - 1] == L':' ? 1 : 0));
    const std::wstring name = extended.substr(separator + 1);
    HANDLE parent = CreateFileW(parentPath.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, EntrySharing, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (parent == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE folder = INVALID_HANDLE_VALUE;
    ListingBuffer record;
    if (ListOneEntry(parent, name, record)) {
        const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record.data());
        if ((entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            folder = OpenListedFolder(parent, entry);
        }
    }
    CloseHandle(parent);
    return folder;
}

HANDLE OpenListedFolder(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    return OpenChecked(folder, entry, FolderAccess, FolderSharing, DirectoryOnly);
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

bool DeleteIfSameObject(const std::wstring& path, LONGLONG fileId)
{
    HANDLE opened = CreateFileW(ExtendedPathOf(path).c_str(), DELETE | FILE_READ_ATTRIBUTES, EntrySharing, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool marked = fileId != 0 && FileIdOf(opened) == fileId && MarkForDeletion(opened);
    CloseHandle(opened); // the deletion happens here
    return marked;
}

bool DeleteListedFile(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry)
{
    // Opened by name in the held folder, which nothing can swap, as the file
    // itself: whatever now has that name in the folder is deleted (a link
    // as itself), and nothing outside it. A read-only file is refused here.
    HANDLE opened =
        OpenRelative(folder, entry.FileName, entry.FileNameLength, DELETE, EntrySharing, FileOnly | DeleteOnClose);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(opened); // the deletion happens here
    return true;
}

bool ResetAttributes(HANDLE object)
{
    // Zero times leave the times as they are.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(object, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
}

bool MarkForDeletion(HANDLE object)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(object, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}
