#include "foldertree/temporary_place.h"

#include <windows.h>
#include <ntsecapi.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>

#include "foldertree/open_folder.h"
#include "foldertree/own_file.h"

// Not declared by every SDK's headers; exported by ntdll on every Windows.
extern "C" NTSTATUS NTAPI NtAreMappedFilesTheSame(PVOID File1MappedAsAnImage, PVOID File2MappedAsFile);

namespace {

// "LauncherRemover-" and 32 hexadecimal digits: 128 random bits.
constexpr wchar_t PlacePrefix[] = L"LauncherRemover-";
constexpr size_t PlaceDigits = 32;

std::wstring RandomPlaceName()
{
    unsigned char random[PlaceDigits / 2];
    if (!RtlGenRandom(random, sizeof(random))) {
        return std::wstring();
    }
    std::wstring name = PlacePrefix;
    for (const unsigned char byte : random) {
        wchar_t digits[3];
        std::swprintf(digits, 3, L"%02x", byte);
        name += digits;
    }
    return name;
}

bool IsPlaceName(const std::wstring& name)
{
    const size_t prefix = std::wcslen(PlacePrefix);
    return name.size() == prefix + PlaceDigits && name.compare(0, prefix, PlacePrefix) == 0 &&
           name.find_first_not_of(L"0123456789abcdef", prefix) == std::wstring::npos;
}

// The only entry of an open folder, a plain file: its name; empty when the
// folder holds anything else, or nothing. Listed through the handle: the
// folder is held open for deletion, which an open of its path would meet.
std::wstring OnlyFileIn(HANDLE folder)
{
    ListingBuffer batch;
    DWORD error = ERROR_SUCCESS;
    std::wstring only;
    int entries = 0;
    for (bool listed = ReadListing(folder, batch, true, error); listed;
         listed = ReadListing(folder, batch, false, error)) {
        for (auto entry = &RecordIn(batch); entry != nullptr; entry = NextRecord(entry)) {
            const std::wstring name = ListedName(*entry);
            if (name != L"." && name != L"..") {
                ++entries;
                const bool plainFile =
                    (entry->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
                only = plainFile ? name : std::wstring();
            }
        }
    }
    return entries == 1 && error == ERROR_NO_MORE_FILES ? only : std::wstring();
}

// The file's bytes are the program's: read through the open file.
bool HoldsTheseBytes(HANDLE file, const std::vector<char>& bytes)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart != static_cast<LONGLONG>(bytes.size())) {
        return false;
    }
    std::vector<char> read(bytes.size());
    DWORD got = 0;
    return ReadFile(file, read.data(), static_cast<DWORD>(read.size()), &got, nullptr) && got == read.size() &&
           std::memcmp(read.data(), bytes.data(), bytes.size()) == 0;
}

// One earlier run's place, when it is one: the folder, held so that it
// cannot be renamed, holds only the program's file, which is opened shared
// with no one (a program that runs it or holds it keeps it from opening),
// compared, and deleted through that handle; then the emptied folder.
void RemovePlace(const std::wstring& path, std::vector<char>& bytes)
{
    HANDLE folder = CreateFileW(path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return;
    }
    FILE_BASIC_INFO basic;
    const std::wstring name = GetFileInformationByHandleEx(folder, FileBasicInfo, &basic, sizeof(basic)) &&
                                      (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0
                                  ? OnlyFileIn(folder)
                                  : std::wstring();
    HANDLE file = name.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileW((path + L"\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        if (bytes.empty()) {
            bytes = RunningProgramBytes();
        }
        FILE_DISPOSITION_INFO disposition = {TRUE};
        const bool deleted = !bytes.empty() && HoldsTheseBytes(file, bytes) &&
                             SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
        CloseHandle(file);
        if (deleted) {
            SetFileInformationByHandle(folder, FileDispositionInfo, &disposition, sizeof(disposition));
        }
    }
    CloseHandle(folder);
}

} // namespace

std::wstring TemporaryFolder()
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

std::wstring PlaceInFolderOfItsOwn(const std::wstring& name)
{
    const std::wstring temporary = TemporaryFolder();
    const std::wstring place = RandomPlaceName();
    // One that exists already is someone else's: never used.
    if (temporary.empty() || place.empty() || !CreateDirectoryW((temporary + place).c_str(), nullptr)) {
        return std::wstring();
    }
    return temporary + place + L"\\" + name;
}

std::vector<char> RunningProgramBytes()
{
    std::vector<char> bytes;
    HANDLE file = CreateFileW(OwnFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    LARGE_INTEGER size;
    HANDLE mapping = GetFileSizeEx(file, &size) && size.QuadPart > 0
                         ? CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                         : nullptr;
    const void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    // Shared with no writer while it is read, and the file the image came from.
    if (view != nullptr && NT_SUCCESS(NtAreMappedFilesTheSame(GetModuleHandleW(nullptr), const_cast<void*>(view)))) {
        const char* start = static_cast<const char*>(view);
        bytes.assign(start, start + size.QuadPart);
    }
    if (view != nullptr) {
        UnmapViewOfFile(view);
    }
    if (mapping != nullptr) {
        CloseHandle(mapping);
    }
    CloseHandle(file);
    return bytes;
}

void RemoveWhatEarlierRunsLeft()
{
    const std::wstring temporary = TemporaryFolder();
    if (temporary.empty()) {
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((temporary + PlacePrefix + L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return; // nothing left: nothing is touched
    }
    std::vector<std::wstring> places;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && IsPlaceName(found.cFileName)) {
            places.push_back(temporary + found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::vector<char> bytes; // read once, when a place is found
    for (const std::wstring& place : places) {
        RemovePlace(place, bytes);
    }
}
