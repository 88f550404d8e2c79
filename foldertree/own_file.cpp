#include "foldertree/own_file.h"

#include <algorithm>

#include "foldertree/open_folder.h"
#include "foldertree/temporary_place.h"

namespace {

constexpr ULONG AnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenToLook(const std::wstring& path, ACCESS_MASK access)
{
    return CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, AnySharing, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsFolderOrInside(const std::wstring& path, const std::wstring& folder)
{
    return (path.size() == folder.size() || (path.size() > folder.size() + 1 && path[folder.size()] == L'\\')) &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// The folders between the file and the top, deepest first, with their ids.
bool DescribeFolders(const std::wstring& topPath, OwnFileInside& inside)
{
    for (size_t end = inside.finalPath.rfind(L'\\'); end > topPath.size();
         end = inside.finalPath.rfind(L'\\', end - 1)) {
        const std::wstring folder = inside.finalPath.substr(0, end);
        HANDLE opened = OpenToLook(folder, 0);
        if (opened == INVALID_HANDLE_VALUE) {
            return false;
        }
        inside.folderPaths.push_back(folder);
        inside.folderIds.push_back(FileIdOf(opened));
        CloseHandle(opened);
    }
    return true;
}

} // namespace

std::wstring OwnFilePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring StartedProgramFile(const RunState& run)
{
    return run.startedProgramFile.empty() ? OwnFilePath() : run.startedProgramFile;
}

bool LocateInside(HANDLE top, const std::wstring& path, OwnFileInside& inside)
{
    inside = OwnFileInside();
    HANDLE file = OpenToLook(path, 0);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    inside.finalPath = FinalPathOf(file);
    inside.fileId = FileIdOf(file);
    inside.volume = VolumeOf(file);
    const bool sameVolume = inside.volume != 0 && inside.volume == VolumeOf(top);
    CloseHandle(file);
    const std::wstring topPath = FinalPathOf(top);
    if (!sameVolume || topPath.empty() || inside.fileId == 0 || !IsFolderOrInside(inside.finalPath, topPath) ||
        !DescribeFolders(topPath, inside)) {
        inside = OwnFileInside();
        return false;
    }
    return true;
}

bool OwnFileOnTemporaryFolderVolume()
{
    const std::wstring folder = TemporaryFolder();
    HANDLE temporary = folder.empty() ? INVALID_HANDLE_VALUE : OpenToLook(folder, 0);
    if (temporary == INVALID_HANDLE_VALUE) {
        return false;
    }
    HANDLE own = OpenToLook(OwnFilePath(), 0);
    const DWORD volume = own == INVALID_HANDLE_VALUE ? 0 : VolumeOf(own);
    const bool same = volume != 0 && volume == VolumeOf(temporary);
    if (own != INVALID_HANDLE_VALUE) {
        CloseHandle(own);
    }
    CloseHandle(temporary);
    return same;
}

bool MoveAside(const OwnFileInside& inside)
{
    const std::wstring place = PlaceInFolderOfItsOwn(inside.finalPath.substr(inside.finalPath.rfind(L'\\') + 1));
    if (place.empty()) {
        return false;
    }
    const std::wstring target = L"\\??\\" + place;
    HANDLE file = OpenToLook(inside.finalPath, DELETE);
    // The rename record ends in the name, which runs past the declared
    // one-character array.
    std::vector<unsigned char> record(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    const bool moved = file != INVALID_HANDLE_VALUE && FileIdOf(file) == inside.fileId &&
                       VolumeOf(file) == inside.volume &&
                       SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(record.size()));
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (!moved) {
        RemoveDirectoryW(place.substr(0, place.rfind(L'\\')).c_str()); // made for it alone, and empty
    }
    return moved;
}
